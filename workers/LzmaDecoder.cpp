#include "workers/LzmaDecoder.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "workers/LittleEndian.h"
#include "workers/LzmaDictionaryCheck.h"
#include "workers/PackageReader.h"

namespace {

// The zip LZMA header: SDK version (2 bytes), properties size (2), properties (5).
constexpr size_t kZipHeaderSize = 9;
constexpr uint32_t kPropertiesSize = 5;
constexpr uint32_t kMinDictionary = 4096;
constexpr uint32_t kMaxLcPlusLp = 4;
constexpr uint32_t kPropertiesLimit = 9 * 5 * 5;

constexpr uint32_t kProbBits = 11;
constexpr uint16_t kProbInitial = 1u << (kProbBits - 1);
constexpr uint32_t kMoveBits = 5;
constexpr uint32_t kTopValue = 1u << 24;

constexpr uint32_t kStates = 12;
constexpr uint32_t kFirstMatchState = 7;
constexpr uint32_t kMatchMinLength = 2;
constexpr uint32_t kEndMarkerDistance = 0xFFFFFFFF;
constexpr uint32_t kEndPosModelIndex = 14;
constexpr uint32_t kAlignBits = 4;

[[noreturn]] void Damaged(const std::string& what) { throw std::runtime_error("LZMA data is damaged: " + what); }

template <class Table>
void ResetProbs(Table& table) {
    static_assert(sizeof(Table) % sizeof(uint16_t) == 0);
    std::fill_n(reinterpret_cast<uint16_t*>(&table), sizeof(Table) / sizeof(uint16_t), kProbInitial);
}

uint32_t StateAfterLiteral(uint32_t state) { return state < 4 ? 0 : (state < 10 ? state - 3 : state - 6); }

}  // namespace

TLzmaDecoder::TLzmaDecoder(std::string_view data, uint64_t nSize) : m_Input(data), m_nSize(nSize) {
    ReadProperties();
    // liblzma's rounding of the dictionary, so that both readers accept the
    // same distances; a window larger than the whole entry would be wasted.
    const uint64_t nRounded = (std::max(m_nDictionary, kMinDictionary) + 15ull) & ~15ull;
    m_Window.resize(static_cast<size_t>(std::max<uint64_t>(1, std::min(nRounded, nSize))));
    m_nDictionary = static_cast<uint32_t>(nRounded);
    m_LiteralProbs.assign(size_t{0x300} << (m_nLc + m_nLp), kProbInitial);
    for (auto* table : {&m_IsMatch, &m_IsRep0Long}) ResetProbs(*table);
    for (auto* table : {&m_IsRep, &m_IsRepG0, &m_IsRepG1, &m_IsRepG2}) ResetProbs(*table);
    ResetProbs(m_PosSlot);
    ResetProbs(m_NearDistance);
    ResetProbs(m_Align);
    ResetProbs(m_MatchLength);
    ResetProbs(m_RepLength);
    StartRangeDecoder();
}

void TLzmaDecoder::ReadProperties() {
    if (m_Input.size() < kZipHeaderSize) Damaged("its header is cut short");
    if (LittleEndianAt(m_Input, 2, 2) != kPropertiesSize) Damaged("unknown properties size");
    uint32_t properties = static_cast<uint8_t>(m_Input[4]);
    if (properties >= kPropertiesLimit) Damaged("bad properties");
    m_nLc = properties % 9;
    properties /= 9;
    m_nLp = properties % 5;
    m_nPb = properties / 5;
    if (m_nLc + m_nLp > kMaxLcPlusLp) Damaged("bad properties");
    m_nDictionary = LittleEndianAt(m_Input, 5, 4);
    if (m_nDictionary > kMaxLzmaDictionary)
        throw std::runtime_error("Package asks for an LZMA dictionary of " + std::to_string(m_nDictionary) +
                                 " bytes, more than the " + std::to_string(kMaxLzmaDictionary) + " allowed");
    m_nInputPos = kZipHeaderSize;
}

// The encoder's first byte is always 0; liblzma refuses a stream without it.
void TLzmaDecoder::StartRangeDecoder() {
    if (NextInputByte() != 0) Damaged("bad first byte");
    for (int i = 0; i < 4; ++i) m_nCode = (m_nCode << 8) | NextInputByte();
    if (m_bOverrun) Damaged("cut short");
}

// Past the end it reads zeros and notes the overrun: whether that is damage
// depends on where the stream stands (see DecodeEnd).
uint8_t TLzmaDecoder::NextInputByte() {
    if (m_nInputPos == m_Input.size()) {
        m_bOverrun = true;
        return 0;
    }
    return static_cast<uint8_t>(m_Input[m_nInputPos++]);
}

void TLzmaDecoder::Normalize() {
    if (m_nRange >= kTopValue) return;
    m_nRange <<= 8;
    m_nCode = (m_nCode << 8) | NextInputByte();
}

uint32_t TLzmaDecoder::DecodeBit(uint16_t& prob) {
    Normalize();
    const uint32_t bound = (m_nRange >> kProbBits) * prob;
    if (m_nCode < bound) {
        m_nRange = bound;
        prob = static_cast<uint16_t>(prob + (((1u << kProbBits) - prob) >> kMoveBits));
        return 0;
    }
    m_nRange -= bound;
    m_nCode -= bound;
    prob = static_cast<uint16_t>(prob - (prob >> kMoveBits));
    return 1;
}

uint32_t TLzmaDecoder::DecodeDirectBits(uint32_t nBits) {
    uint32_t value = 0;
    for (uint32_t i = 0; i < nBits; ++i) {
        Normalize();
        m_nRange >>= 1;
        const uint32_t bit = m_nCode >= m_nRange ? 1 : 0;
        if (bit != 0) m_nCode -= m_nRange;
        value = (value << 1) | bit;
    }
    return value;
}

// `probs` holds 2^nBits entries; the tree's node m uses probs[m].
uint32_t TLzmaDecoder::DecodeBitTree(uint16_t* probs, uint32_t nBits) {
    uint32_t node = 1;
    for (uint32_t i = 0; i < nBits; ++i) node = (node << 1) | DecodeBit(probs[node]);
    return node - (1u << nBits);
}

// Node m uses probs[m - 1], so that the distance tables need no unused entry.
uint32_t TLzmaDecoder::DecodeReverseBitTree(uint16_t* probs, uint32_t nBits) {
    uint32_t node = 1;
    uint32_t value = 0;
    for (uint32_t i = 0; i < nBits; ++i) {
        const uint32_t bit = DecodeBit(probs[node - 1]);
        node = (node << 1) | bit;
        value |= bit << i;
    }
    return value;
}

uint32_t TLzmaDecoder::DecodeLength(TLengthProbs& probs, uint32_t posState) {
    if (DecodeBit(probs.nChoice) == 0) return DecodeBitTree(probs.low[posState].data(), 3);
    if (DecodeBit(probs.nChoice2) == 0) return 8 + DecodeBitTree(probs.mid[posState].data(), 3);
    return 16 + DecodeBitTree(probs.high.data(), 8);
}

uint32_t TLzmaDecoder::DecodeDistance(uint32_t length) {
    const uint32_t slot = DecodeBitTree(m_PosSlot[std::min<uint32_t>(length, 3)].data(), 6);
    if (slot < 4) return slot;
    const uint32_t nDirectBits = (slot >> 1) - 1;
    const uint32_t base = (2 | (slot & 1)) << nDirectBits;
    if (slot < kEndPosModelIndex) return base + DecodeReverseBitTree(&m_NearDistance[base - slot], nDirectBits);
    const uint32_t high = DecodeDirectBits(nDirectBits - kAlignBits) << kAlignBits;
    return base + high + DecodeReverseBitTree(m_Align.data(), kAlignBits);
}

size_t TLzmaDecoder::Read(std::span<char> buffer) {
    size_t n = 0;
    while (n < buffer.size()) {
        if (!m_bPendingLiteral && m_nPendingCopy == 0 && !DecodeNextSymbol()) break;
        if (m_bPendingLiteral) {
            buffer[n++] = PutByte(m_nLiteral);
            m_bPendingLiteral = false;
        }
        for (; m_nPendingCopy > 0 && n < buffer.size(); --m_nPendingCopy) buffer[n++] = PutByte(WindowByte(m_Reps[0]));
    }
    return n;
}

// False at the end of the stream. A symbol that needed bytes beyond the
// packed data is never handed out.
bool TLzmaDecoder::DecodeNextSymbol() {
    if (m_bEnded) return false;
    if (m_nTotal == m_nSize) return DecodeEnd();
    const uint32_t posState = static_cast<uint32_t>(m_nTotal) & ((1u << m_nPb) - 1);
    if (DecodeBit(m_IsMatch[m_nState * 16 + posState]) == 0)
        DecodeLiteral();
    else if (DecodeBit(m_IsRep[m_nState]) == 0)
        DecodeMatch(posState);
    else
        DecodeRepeat(posState);
    if (m_bOverrun) Damaged("cut short");
    return true;
}

// The declared size is reached. Whatever the entry's flags say, an end marker
// may follow or not (the size is known, so the marker is optional): the
// packed data may end here, or end inside the marker, or hold the marker
// whole. liblzma, which libarchive's reader feeds the packed data whole,
// accepts the same, and more: it decodes on past the declared size and
// libarchive drops what it makes. The release tool never writes such data,
// and decoding what nobody reads would let a few packed bytes cost minutes.
bool TLzmaDecoder::DecodeEnd() {
    m_bEnded = true;
    if (m_nInputPos == m_Input.size()) return false;
    const uint32_t posState = static_cast<uint32_t>(m_nTotal) & ((1u << m_nPb) - 1);
    const bool bMatch = DecodeBit(m_IsMatch[m_nState * 16 + posState]) == 1;
    const bool bRepeat = bMatch && DecodeBit(m_IsRep[m_nState]) == 1;
    if (m_bOverrun) return false;
    if (!bMatch || bRepeat) throw EPackageUnsupported("LZMA data goes on past its declared size");
    const uint32_t distance = DecodeDistance(DecodeLength(m_MatchLength, posState));
    if (m_bOverrun) return false;
    if (distance != kEndMarkerDistance) throw EPackageUnsupported("LZMA data goes on past its declared size");
    Normalize();
    if (!m_bOverrun && m_nCode != 0) Damaged("bad end");
    return false;
}

void TLzmaDecoder::DecodeLiteral() {
    const uint32_t previous = m_nTotal == 0 ? 0 : WindowByte(0);
    const uint32_t context =
        ((static_cast<uint32_t>(m_nTotal) & ((1u << m_nLp) - 1)) << m_nLc) + (previous >> (8 - m_nLc));
    uint16_t* probs = &m_LiteralProbs[size_t{0x300} * context];
    uint32_t symbol = 1;
    if (m_nState >= kFirstMatchState) {
        uint32_t matchByte = WindowByte(m_Reps[0]);
        while (symbol < 0x100) {
            const uint32_t matchBit = (matchByte >> 7) & 1;
            matchByte <<= 1;
            const uint32_t bit = DecodeBit(probs[((1 + matchBit) << 8) + symbol]);
            symbol = (symbol << 1) | bit;
            if (bit != matchBit) break;
        }
    }
    while (symbol < 0x100) symbol = (symbol << 1) | DecodeBit(probs[symbol]);
    m_nLiteral = static_cast<uint8_t>(symbol);
    m_bPendingLiteral = true;
    m_nState = StateAfterLiteral(m_nState);
}

void TLzmaDecoder::DecodeMatch(uint32_t posState) {
    const uint32_t length = DecodeLength(m_MatchLength, posState);
    const uint32_t distance = DecodeDistance(length);
    if (m_bOverrun) return;
    if (distance == kEndMarkerDistance) Damaged("ends before its declared size");
    m_Reps = {distance, m_Reps[0], m_Reps[1], m_Reps[2]};
    m_nState = m_nState < kFirstMatchState ? 7 : 10;
    StartCopy(length + kMatchMinLength);
}

void TLzmaDecoder::DecodeRepeat(uint32_t posState) {
    if (m_nTotal == 0) Damaged("repeats before any byte");
    if (DecodeBit(m_IsRepG0[m_nState]) == 0) {
        if (DecodeBit(m_IsRep0Long[m_nState * 16 + posState]) == 0) {
            m_nState = m_nState < kFirstMatchState ? 9 : 11;
            return StartCopy(1);
        }
    } else {
        uint32_t distance = 0;
        if (DecodeBit(m_IsRepG1[m_nState]) == 0) {
            distance = m_Reps[1];
        } else {
            const uint32_t which = DecodeBit(m_IsRepG2[m_nState]) == 0 ? 2 : 3;
            distance = m_Reps[which];
            if (which == 3) m_Reps[3] = m_Reps[2];
            m_Reps[2] = m_Reps[1];
        }
        m_Reps[1] = m_Reps[0];
        m_Reps[0] = distance;
    }
    const uint32_t length = DecodeLength(m_RepLength, posState);
    m_nState = m_nState < kFirstMatchState ? 8 : 11;
    StartCopy(length + kMatchMinLength);
}

void TLzmaDecoder::StartCopy(uint32_t nLength) {
    if (m_bOverrun) return;
    const uint32_t distance = m_Reps[0];
    if (distance >= m_nTotal || distance >= m_nDictionary) Damaged("a distance reaches before the window");
    if (nLength > m_nSize - m_nTotal) throw EPackageUnsupported("LZMA data goes on past its declared size");
    m_nPendingCopy = nLength;
}

uint8_t TLzmaDecoder::WindowByte(uint32_t distance) const {
    const size_t size = m_Window.size();
    return m_Window[(m_nWindowPos + size - 1 - distance % size) % size];
}

char TLzmaDecoder::PutByte(uint8_t value) {
    m_Window[m_nWindowPos] = value;
    if (++m_nWindowPos == m_Window.size()) m_nWindowPos = 0;
    ++m_nTotal;
    return static_cast<char>(value);
}
