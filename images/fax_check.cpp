// The fax code of a TIFF's strips or tiles decoded without pixels (see fax_check.h). The decoder
// it answers for reads bits lowest first from a 32-bit accumulator, looks codes up 7 (modes), 12
// (white runs) or 13 (black runs) bits at a time, and keeps each row as a list of run lengths,
// white first: the reference row for two-dimensional code is the previous row's list, ended by an
// imaginary empty run. The checks below follow that decoder step by step, so that they pass and
// refuse exactly what it does on the same bytes.
#include "images/fax_check.h"

#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace varno {

namespace {

enum Kind : uint8_t { kBad, kTerm, kMakeUp, kEol, kPass, kHoriz, kV0, kVR, kVL, kExt };

struct Code {
    uint8_t kind = kBad, width = 0;  // width 0: no code starts with these bits
    uint16_t value = 0;              // run length, or the offset of a vertical mode
};

struct Tables {
    Code modes[1 << 7], white[1 << 12], black[1 << 13];
};

// The codes written first bit first; a table is indexed by the next `bits` bits, first bit lowest.
void Enter(Code* table, int bits, const char* code, Kind kind, uint16_t value) {
    const int width = int(std::strlen(code));
    uint32_t index = 0;
    for (int i = 0; i < width; ++i) index |= uint32_t(code[i] == '1') << i;
    for (; index < (1u << bits); index += 1u << width) table[index] = {kind, uint8_t(width), value};
}

const Tables& CodeTables() {
    static const std::unique_ptr<Tables> tables = [] {
        static const char* const whiteTerm[64] = {
            "00110101", "000111", "0111", "1000", "1011", "1100", "1110", "1111", "10011", "10100", "00111",
            "01000", "001000", "000011", "110100", "110101", "101010", "101011", "0100111", "0001100",
            "0001000", "0010111", "0000011", "0000100", "0101000", "0101011", "0010011", "0100100",
            "0011000", "00000010", "00000011", "00011010", "00011011", "00010010", "00010011", "00010100",
            "00010101", "00010110", "00010111", "00101000", "00101001", "00101010", "00101011", "00101100",
            "00101101", "00000100", "00000101", "00001010", "00001011", "01010010", "01010011", "01010100",
            "01010101", "00100100", "00100101", "01011000", "01011001", "01011010", "01011011", "01001010",
            "01001011", "00110010", "00110011", "00110100"};
        static const char* const blackTerm[64] = {
            "0000110111", "010", "11", "10", "011", "0011", "0010", "00011", "000101", "000100", "0000100",
            "0000101", "0000111", "00000100", "00000111", "000011000", "0000010111", "0000011000",
            "0000001000", "00001100111", "00001101000", "00001101100", "00000110111", "00000101000",
            "00000010111", "00000011000", "000011001010", "000011001011", "000011001100", "000011001101",
            "000001101000", "000001101001", "000001101010", "000001101011", "000011010010", "000011010011",
            "000011010100", "000011010101", "000011010110", "000011010111", "000001101100", "000001101101",
            "000011011010", "000011011011", "000001010100", "000001010101", "000001010110", "000001010111",
            "000001100100", "000001100101", "000001010010", "000001010011", "000000100100", "000000110111",
            "000000111000", "000000100111", "000000101000", "000001011000", "000001011001", "000000101011",
            "000000101100", "000001011010", "000001100110", "000001100111"};
        // Make-up codes of 64 to 1728 pixels, then the extended ones of 1792 to 2560 that both colours share.
        static const char* const whiteMakeUp[27] = {
            "11011", "10010", "010111", "0110111", "00110110", "00110111", "01100100", "01100101", "01101000",
            "01100111", "011001100", "011001101", "011010010", "011010011", "011010100", "011010101",
            "011010110", "011010111", "011011000", "011011001", "011011010", "011011011", "010011000",
            "010011001", "010011010", "011000", "010011011"};
        static const char* const blackMakeUp[27] = {
            "0000001111", "000011001000", "000011001001", "000001011011", "000000110011", "000000110100",
            "000000110101", "0000001101100", "0000001101101", "0000001001010", "0000001001011",
            "0000001001100", "0000001001101", "0000001110010", "0000001110011", "0000001110100",
            "0000001110101", "0000001110110", "0000001110111", "0000001010010", "0000001010011",
            "0000001010100", "0000001010101", "0000001011010", "0000001011011", "0000001100100",
            "0000001100101"};
        static const char* const extended[13] = {
            "00000001000", "00000001100", "00000001101", "000000010010", "000000010011", "000000010100",
            "000000010101", "000000010110", "000000010111", "000000011100", "000000011101", "000000011110",
            "000000011111"};
        auto t = std::make_unique<Tables>();
        for (int colour = 0; colour < 2; ++colour) {
            Code* table = colour ? t->black : t->white;
            const int bits = colour ? 13 : 12;
            for (uint16_t n = 0; n < 64; ++n) Enter(table, bits, (colour ? blackTerm : whiteTerm)[n], kTerm, n);
            for (uint16_t n = 0; n < 27; ++n) Enter(table, bits, (colour ? blackMakeUp : whiteMakeUp)[n], kMakeUp, 64 * (n + 1));
            for (uint16_t n = 0; n < 13; ++n) Enter(table, bits, extended[n], kMakeUp, 1792 + 64 * n);
            Enter(table, bits, "00000000000", kEol, 0);  // eleven zeros; the EOL's closing 1 comes later
        }
        Enter(t->modes, 7, "0001", kPass, 0);
        Enter(t->modes, 7, "001", kHoriz, 0);
        Enter(t->modes, 7, "1", kV0, 0);
        const char* const right[3] = {"011", "000011", "0000011"};
        const char* const left[3] = {"010", "000010", "0000010"};
        for (uint16_t n = 0; n < 3; ++n) Enter(t->modes, 7, right[n], kVR, n + 1), Enter(t->modes, 7, left[n], kVL, n + 1);
        Enter(t->modes, 7, "0000001", kExt, 0);
        Enter(t->modes, 7, "0000000", kEol, 0);
        return t;
    }();
    return *tables;
}

uint8_t Reversed(uint8_t b) {
    b = uint8_t((b & 0xf0) >> 4 | (b & 0x0f) << 4);
    b = uint8_t((b & 0xcc) >> 2 | (b & 0x33) << 2);
    return uint8_t((b & 0xaa) >> 1 | (b & 0x55) << 1);
}

// The decoder's bits: whole bytes are added to the accumulator as codes need them. When the data
// ends with some bits still unread, the missing ones read as zeros, as many as the code asks for.
struct Bits {
    const uint8_t* data = nullptr;
    size_t size = 0, at = 0;
    uint32_t acc = 0;
    int avail = 0;
    bool lowFirst = false;

    bool Need(int n) {
        for (int fetched = 0; avail < n; ++fetched) {
            if (at >= size) {
                if (avail == 0 && fetched == 0) return false;
                avail = n;
                break;
            }
            acc |= uint32_t(lowFirst ? data[at] : Reversed(data[at])) << avail;
            ++at;
            avail += 8;
        }
        return true;
    }
    uint32_t Peek(int n) const { return acc & ((1u << n) - 1); }
    void Drop(int n) {
        avail -= n;
        acc >>= n;
    }
};

enum class Row { kOneD, kTwoD };

struct Decoder {
    const Tables& tables = CodeTables();
    Bits in;
    int64_t lastx = 0;                  // the width
    size_t nruns = 0;                   // entries of each run list
    std::vector<uint32_t> lists[2];
    uint32_t* cur = nullptr;            // this row's runs
    uint32_t* ref = nullptr;            // the reference row's runs
    size_t pa = 0, pb = 0;              // the next run to write, the next reference run to read
    int64_t a0 = 0, runLength = 0, b1 = 0;
    bool eol = false;                   // the last row ended on an EOL (its eleven zeros)
    uint32_t line = 0;
    uint64_t block = 0;
    const char* kind = "strip";
    std::string error;

    bool Fail(const std::string& what) {
        error = "damaged fax data: " + what + " at row " + std::to_string(line) + " of " + kind + " " + std::to_string(block);
        return false;
    }
    bool Full() { return Fail("more changes than a row can hold"); }
    bool Long() { return Fail("runs longer than the row's " + std::to_string(lastx) + " pixels"); }

    // The next code of a table; null when the data has ended.
    const Code* Look(const Code* table, int bits) {
        if (!in.Need(bits)) return nullptr;
        const Code* code = &table[in.Peek(bits)];
        in.Drop(code->width);
        return code;
    }

    // A run ends at this row's next change.
    bool Set(int64_t x) {
        if (pa >= nruns) return Full();
        if (x < 0) return Fail("a change before the one it follows");
        cur[pa++] = uint32_t(runLength + x);
        a0 += x;
        runLength = 0;
        return a0 <= lastx || Long();
    }

    // One run of the colour the row's run count gives (make-up codes, then a terminating code); an
    // EOL in its place sets `*ended` where the row may end on one, else is a bad code.
    bool Run(bool* ended) {
        const bool black = pa & 1;
        for (;;) {
            const Code* code = black ? Look(tables.black, 13) : Look(tables.white, 12);
            if (!code) return Fail("the data ends");
            if (code->kind == kTerm) return Set(code->value);
            if (code->kind == kEol && ended) return eol = *ended = true;
            if (code->kind != kMakeUp) return Fail(std::string("a bad ") + (black ? "black" : "white") + " code");
            a0 += code->value;
            runLength += code->value;
            if (a0 > lastx) return Long();
        }
    }

    // The row is done: what is left of a run is recorded, and the runs must make the width.
    bool Finish() {
        if (runLength && !Set(0)) return false;
        if (a0 == lastx) return true;
        return Fail("the row ends after " + std::to_string(a0) + " of its " + std::to_string(lastx) + " pixels");
    }

    bool OneD() {
        for (;;) {
            for (int colour = 0; colour < 2; ++colour) {
                bool ended = false;
                if (!Run(&ended)) return false;
                if (ended || a0 >= lastx) return Finish();
            }
            if (cur[pa - 1] == 0 && cur[pa - 2] == 0) pa -= 2;  // an empty pair changes nothing
        }
    }

    // b1: the reference row's first change to the right of a0 of the colour a0 is not.
    bool FindB1() {
        if (pa != 0)
            while (b1 <= a0 && b1 < lastx) {
                if (pb + 1 >= nruns) return Full();
                b1 += int64_t(ref[pb]) + ref[pb + 1];
                pb += 2;
            }
        return true;
    }

    bool TwoD() {
        while (a0 < lastx) {
            if (pa >= nruns) return Full();
            const Code* code = Look(tables.modes, 7);
            if (!code) return Fail("the data ends");
            switch (code->kind) {
                case kPass:
                    if (!FindB1()) return false;
                    if (pb + 1 >= nruns) return Full();
                    b1 += ref[pb++];
                    runLength += b1 - a0;
                    a0 = b1;
                    b1 += ref[pb++];
                    if (a0 > lastx) return Long();
                    break;
                case kHoriz:
                    if (!Run(nullptr) || !Run(nullptr) || !FindB1()) return false;
                    break;
                case kV0:
                case kVR:
                    if (!FindB1() || !Set(b1 - a0 + (code->kind == kVR ? code->value : 0))) return false;
                    if (pb >= nruns) return Full();
                    b1 += ref[pb++];
                    break;
                case kVL:
                    if (!FindB1()) return false;
                    if (b1 < a0 + code->value || pb == 0) return Fail("a bad vertical code");
                    if (!Set(b1 - a0 - code->value)) return false;
                    b1 -= ref[--pb];
                    break;
                case kExt: return Fail("uncompressed data");
                case kEol: return Fail("an EOL");
                default: return Fail("a bad mode code");
            }
        }
        return Finish();
    }

    // Skips to the end of the next EOL (unless the last row ended inside one): eleven zeros, any
    // more zeros (fill bits), and its closing 1.
    bool SyncEol() {
        if (!eol)
            for (;;) {
                if (!in.Need(11)) return Fail("the data ends");
                if (in.Peek(11) == 0) break;
                in.Drop(1);
            }
        for (;;) {
            if (!in.Need(8)) return Fail("the data ends");
            if (in.Peek(8)) break;
            in.Drop(8);
        }
        while (in.Peek(1) == 0) in.Drop(1);
        in.Drop(1);
        eol = false;
        return true;
    }

    // The rows of one strip or tile; `at` is where its bytes start in the file (a word-aligned
    // row starts at an even offset from the start of the file, where the decoder's copy starts).
    bool Block(const FaxLayout& layout, const uint8_t* data, size_t size, uint64_t at, uint32_t rows) {
        in = Bits{data, size, 0, 0, 0, layout.lowBitFirst};
        eol = false;
        cur = lists[0].data();
        ref = lists[1].data();
        ref[0] = uint32_t(lastx), ref[1] = 0;  // the row above the first is white
        const bool twoD = layout.compression == 4 || (layout.compression == 3 && (layout.t4Options & 1));
        for (line = 0; line < rows; ++line) {
            a0 = runLength = 0;
            pa = 0;
            Row row = layout.compression == 4 ? Row::kTwoD : Row::kOneD;
            if (layout.compression == 3) {
                if (!SyncEol()) return false;
                if (twoD) {
                    if (!in.Need(1)) return Fail("the data ends");
                    row = in.Peek(1) ? Row::kOneD : Row::kTwoD;  // the bit after each EOL
                    in.Drop(1);
                }
            }
            pb = 0;
            b1 = ref[pb++];
            if (!(row == Row::kOneD ? OneD() : TwoD())) return false;
            if (layout.compression == 2) {
                in.Drop(in.avail & 7);
            } else if (layout.compression == 32771) {
                in.Drop(in.avail & 15);
                if (in.avail == 0 && ((at + in.at) & 1)) ++in.at;
            }
            if (twoD) {
                if (layout.compression == 4 ? !Set(0) : pa < nruns && !Set(0)) return false;  // the imaginary run
                std::swap(cur, ref);
            }
        }
        return true;
    }
};

}  // namespace

std::string CheckFaxBlocks(const FaxLayout& layout, const uint8_t* file, size_t fileSize,
                           const std::vector<FaxBlock>& blocks, size_t budget) {
    const bool twoD = layout.compression == 4 || (layout.compression == 3 && (layout.t4Options & 1));
    // The decoder's run lists: the width rounded up to 32 runs each, twice that for 2D code.
    const uint64_t nruns = (layout.width + 31) / 32 * 32 * (twoD ? 2 : 1);
    if (layout.width == 0 || nruns * 2 * sizeof(uint32_t) > budget)
        return "the fax decoder's runs for rows of " + std::to_string(layout.width) +
               " pixels are more than a file of this size may ask for";
    Decoder decoder;
    decoder.lastx = int64_t(layout.width);
    decoder.nruns = size_t(nruns);
    decoder.kind = layout.tiled ? "tile" : "strip";
    decoder.lists[0].assign(decoder.nruns, 0);
    decoder.lists[1].assign(decoder.nruns, 0);
    for (size_t i = 0; i < blocks.size(); ++i) {
        const FaxBlock& b = blocks[i];
        if (b.offset > fileSize || fileSize - b.offset < b.bytes) return "a fax-coded block lies outside the file";
        decoder.block = i;
        if (!decoder.Block(layout, file + b.offset, size_t(b.bytes), b.offset, b.rows)) return decoder.error;
    }
    return {};
}

}  // namespace varno
