#pragma once
#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

// Decodes the LZMA data of a zip entry (method 14): the LZMA SDK version, the
// size of the properties (5), the properties (lc/lp/pb and the dictionary
// size), then a raw LZMA1 stream. Only the dictionary window is held, and no
// more of it than the entry's size needs; every input byte is bound-checked
// and a damaged stream throws std::runtime_error.
class TLzmaDecoder {
public:
    // `nSize` is the entry's declared size: the stream ends there, with or
    // without its end marker (general-purpose bit 1 only says which the
    // writer meant; a reader that knows the size needs no marker).
    TLzmaDecoder(std::string_view data, uint64_t nSize);

    // The next bytes; 0 at the end of the stream.
    size_t Read(std::span<char> buffer);
    // Packed bytes taken so far, the zip LZMA header included.
    uint64_t Consumed() const { return m_nInputPos; }

private:
    struct TLengthProbs {
        uint16_t nChoice;
        uint16_t nChoice2;
        std::array<std::array<uint16_t, 8>, 16> low;
        std::array<std::array<uint16_t, 8>, 16> mid;
        std::array<uint16_t, 256> high;
    };

    void ReadProperties();
    void StartRangeDecoder();
    uint8_t NextInputByte();
    void Normalize();
    uint32_t DecodeBit(uint16_t& prob);
    uint32_t DecodeDirectBits(uint32_t nBits);
    uint32_t DecodeBitTree(uint16_t* probs, uint32_t nBits);
    uint32_t DecodeReverseBitTree(uint16_t* probs, uint32_t nBits);
    uint32_t DecodeLength(TLengthProbs& probs, uint32_t posState);
    uint32_t DecodeDistance(uint32_t length);

    bool DecodeNextSymbol();
    void DecodeLiteral();
    void DecodeMatch(uint32_t posState);
    void DecodeRepeat(uint32_t posState);
    bool DecodeEnd();
    void StartCopy(uint32_t nLength);
    uint8_t WindowByte(uint32_t distance) const;
    char PutByte(uint8_t value);

    std::string_view m_Input;
    size_t m_nInputPos = 0;
    uint32_t m_nRange = 0xFFFFFFFF;
    uint32_t m_nCode = 0;

    uint32_t m_nLc = 0;
    uint32_t m_nLp = 0;
    uint32_t m_nPb = 0;
    uint32_t m_nDictionary = 0;

    std::vector<uint8_t> m_Window;
    size_t m_nWindowPos = 0;
    uint64_t m_nTotal = 0;
    uint64_t m_nSize;
    bool m_bEnded = false;
    bool m_bOverrun = false;

    uint32_t m_nState = 0;
    std::array<uint32_t, 4> m_Reps{};
    uint32_t m_nPendingCopy = 0;
    bool m_bPendingLiteral = false;
    uint8_t m_nLiteral = 0;

    std::vector<uint16_t> m_LiteralProbs;
    std::array<uint16_t, 12 * 16> m_IsMatch;
    std::array<uint16_t, 12> m_IsRep;
    std::array<uint16_t, 12> m_IsRepG0;
    std::array<uint16_t, 12> m_IsRepG1;
    std::array<uint16_t, 12> m_IsRepG2;
    std::array<uint16_t, 12 * 16> m_IsRep0Long;
    std::array<std::array<uint16_t, 64>, 4> m_PosSlot;
    std::array<uint16_t, 114> m_NearDistance;
    std::array<uint16_t, 16> m_Align;
    TLengthProbs m_MatchLength;
    TLengthProbs m_RepLength;
};
