#include "support/TestPeImage.h"

void Put16(TBytes& b, size_t at, uint16_t v) {
    if (b.size() < at + 2) b.resize(at + 2);
    b[at] = uint8_t(v), b[at + 1] = uint8_t(v >> 8);
}
void Put32(TBytes& b, size_t at, uint32_t v) {
    Put16(b, at, uint16_t(v));
    Put16(b, at + 2, uint16_t(v >> 16));
}

TBytes VersionInfo(uint16_t a, uint16_t b, uint16_t c, uint16_t d) {
    TBytes v;
    const std::string key = "VS_VERSION_INFO";
    Put16(v, 2, 52);  // wValueLength
    for (size_t i = 0; i < key.size(); ++i) Put16(v, 6 + 2 * i, uint8_t(key[i]));
    Put16(v, 6 + 2 * key.size(), 0);
    const size_t fixed = 40;  // 6 + 32 bytes of key, aligned to 4
    Put32(v, fixed, 0xFEEF04BD);
    Put32(v, fixed + 4, 0x00010000);
    Put32(v, fixed + 8, uint32_t(a) << 16 | b);
    Put32(v, fixed + 12, uint32_t(c) << 16 | d);
    Put32(v, fixed + 16, uint32_t(a) << 16 | b);
    Put32(v, fixed + 20, uint32_t(c) << 16 | d);
    Put32(v, fixed + 48, 0);  // last field: the block is 52 bytes
    Put16(v, 0, uint16_t(v.size()));
    return v;
}

TBytes ResourceSection(const std::vector<TResource>& resources) {
    TBytes s;
    const size_t n = resources.size();
    const size_t root = 0, names = 16 + 8 * n, langs = names + 24 * n, entries = langs + 24 * n;
    size_t data = entries + 16 * n;
    Put16(s, root + 14, uint16_t(n));
    for (size_t i = 0; i < n; ++i) {
        Put32(s, root + 16 + 8 * i, resources[i].nType);
        Put32(s, root + 20 + 8 * i, 0x80000000u | uint32_t(names + 24 * i));
        Put16(s, names + 24 * i + 14, 1);
        Put32(s, names + 24 * i + 16, 1);
        Put32(s, names + 24 * i + 20, 0x80000000u | uint32_t(langs + 24 * i));
        Put16(s, langs + 24 * i + 14, 1);
        Put32(s, langs + 24 * i + 16, 0x416);
        Put32(s, langs + 24 * i + 20, uint32_t(entries + 16 * i));
        Put32(s, entries + 16 * i, kSectionRva + uint32_t(data));
        Put32(s, entries + 16 * i + 4, uint32_t(resources[i].data.size()));
        s.resize(data);
        s.insert(s.end(), resources[i].data.begin(), resources[i].data.end());
        data = (s.size() + 3) & ~size_t(3);
    }
    return s;
}

TBytes PeImage(const TBytes& rsrc, bool pe32plus) {
    TBytes img;
    Put16(img, 0, 0x5A4D);
    Put32(img, 0x3C, 0x40);
    Put32(img, 0x40, 0x00004550);
    const size_t coff = 0x44, optional = coff + 20;
    const uint16_t optionalSize = pe32plus ? 240 : 224;
    Put16(img, coff, pe32plus ? 0x8664 : 0x14C);
    Put16(img, coff + 2, 1);
    Put16(img, coff + 16, optionalSize);
    Put16(img, optional, pe32plus ? 0x20B : 0x10B);
    const size_t count = pe32plus ? 108 : 92, dirs = pe32plus ? 112 : 96;
    Put32(img, optional + count, 16);
    Put32(img, optional + dirs + 16, kSectionRva);
    Put32(img, optional + dirs + 20, uint32_t(rsrc.size()));
    Put32(img, optional + optionalSize - 4, 0);
    const size_t section = optional + optionalSize;
    for (size_t i = 0; i < 5; ++i) img.resize(section + 40), img[section + i] = uint8_t(".rsrc"[i]);
    Put32(img, section + 8, uint32_t(rsrc.size()));
    Put32(img, section + 12, kSectionRva);
    Put32(img, section + 16, uint32_t(rsrc.size()));
    Put32(img, section + 20, kSectionFileOffset);
    img.resize(kSectionFileOffset);
    img.insert(img.end(), rsrc.begin(), rsrc.end());
    return img;
}

std::string VersionedProgram(uint16_t a, uint16_t b, uint16_t c, uint16_t d) {
    const TBytes image = PeImage(ResourceSection({{16, VersionInfo(a, b, c, d)}}));
    return std::string(image.begin(), image.end());
}
