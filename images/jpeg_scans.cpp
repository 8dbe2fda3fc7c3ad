// The entropy-coded data of a Huffman-coded JPEG walked code by code, without pixels, to
// find where each scan's data really ends (see CheckJpegScans in codecs.h).
//
// A decoder reads the data ahead of the code it decodes (libjpeg-turbo up to eight bytes) and drops
// what it has not used when the scan ends, so stray bytes right before the next marker pass without
// a word from it; and WIC says nothing about stray bytes at all. The walk decodes every code's
// length as the decoder does (for a progressive file's refining scans it keeps which coefficients
// are not zero, a bit each), so it knows the last byte a scan uses, and counts what lies between
// that byte and the next marker as libjpeg-turbo counts the bytes it skips. Anything it does not
// handle (arithmetic coding, a table, frame or scan the decoder would refuse or replace with its
// own) is left to the decoder: the walk then says nothing.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "images/codecs.h"

namespace varno {

namespace {

uint32_t JpegBig16(const uint8_t* p) { return uint32_t(p[0]) << 8 | p[1]; }

constexpr int kLook = 12;  // bits looked up at once

// A Huffman table as the decoder builds it: codes of up to 12 bits by a look-up of the next 12
// bits, longer ones by the largest code of each length. The walk needs only how many bits a code
// and the bits that follow it take, and how far it moves in the block: `step` has both for the
// codes whose extra bits end within the 12.
struct HuffmanTable {
    bool defined = false;
    uint16_t code[1 << kLook];  // length << 8 | symbol, 0 when the code is longer than 12 bits
    uint16_t step[1 << kLook];  // bits | coefficients << 5 (64 at the end of block), else 0
    int32_t largest[18];        // the largest code of each length, -1 when there is none
    int32_t offset[17];         // symbol index of a code of length l: code + offset[l]
    uint8_t symbols[256];
};

// Builds `table` from a DHT entry's 16 counts and its symbols; false for a table the decoder refuses
// (too many codes, a code of all one bits, a DC difference of more than 15 bits).
bool BuildTable(const uint8_t* counts, const uint8_t* symbols, size_t total, bool dc, HuffmanTable* table) {
    std::memcpy(table->symbols, symbols, total);
    std::memset(table->code, 0, sizeof table->code);
    std::memset(table->step, 0, sizeof table->step);
    int32_t code = 0;
    size_t index = 0;
    for (int length = 1; length <= 16; ++length) {
        const int32_t count = counts[length - 1];
        table->offset[length] = int32_t(index) - code;
        for (int32_t i = 0; i < count; ++i, ++code, ++index) {
            const int symbol = symbols[index];
            if (code + 1 >= 1 << length || (dc && symbol > 15)) return false;
            if (length > kLook) continue;
            const int extra = dc ? symbol : symbol & 15, run = symbol >> 4;
            const int moves = dc ? 0 : extra ? run + 1 : run == 15 ? 16 : 64;
            const uint16_t step = length + extra <= kLook ? uint16_t((length + extra) | moves << 5) : 0;
            for (int32_t low = 0; low < 1 << (kLook - length); ++low) {
                table->code[code << (kLook - length) | low] = uint16_t(length << 8 | symbol);
                table->step[code << (kLook - length) | low] = step;
            }
        }
        table->largest[length] = count ? code - 1 : -1;
        if (code >= 1 << length) return false;
        code <<= 1;
    }
    table->largest[17] = 0x7fffffff;  // ends the search for a code that is in no table
    table->defined = true;
    return true;
}

// The scan's data as the decoder sees it: bytes with their stuffed zeros taken out, up to the next
// marker, the bits most significant first.
struct BitReader {
    const uint8_t* bytes;
    size_t size, at;             // the next byte to load
    size_t start = at;           // the scan's (or interval's) first byte
    uint64_t bits = 0;           // `count` bits, at the top
    int count = 0;
    bool stopped = false;        // a marker (or the end of the file) is at `at`

    void Load() {
        // Eight bytes at once while none of them is 0xFF: as many whole bytes as the bits take.
        if (!stopped && size - at >= 8) {
            uint64_t word;
            std::memcpy(&word, bytes + at, 8);
            word = __builtin_bswap64(word);
            const uint64_t inverse = ~word;
            if (((inverse - 0x0101010101010101u) & ~inverse & 0x8080808080808080u) == 0) {
                const int whole = (64 - count) >> 3;
                if (whole == 8) {
                    bits = word;
                } else if (whole > 0) {
                    bits |= (word & ~(~uint64_t(0) >> (8 * whole))) >> count;
                }
                count += 8 * whole, at += size_t(whole);
                return;
            }
        }
        while (count <= 56 && !stopped) {
            if (at >= size || (bytes[at] == 0xff && (at + 1 >= size || bytes[at + 1] != 0))) {
                stopped = true;
                break;
            }
            const uint8_t byte = bytes[at];
            at += byte == 0xff ? 2 : 1;
            bits |= uint64_t(byte) << (56 - count);
            count += 8;
        }
    }
    // The next code of `table`: its symbol, or -1 when it is in no table, -2 when it needs bits
    // beyond the data (as the decoder, which needs 17 bits to call a code bad).
    int Decode(const HuffmanTable& table) {
        if (count < 17) Load();
        const uint16_t entry = table.code[bits >> (64 - kLook)];
        int length = entry >> 8, symbol = entry & 0xff;
        if (entry == 0) {
            length = kLook + 1;
            while (int32_t(bits >> (64 - length)) > table.largest[length]) ++length;
            if (length <= 16) symbol = table.symbols[int32_t(bits >> (64 - length)) + table.offset[length]];
        }
        if (length > count) return -2;
        if (length > 16) return -1;
        bits <<= length, count -= length;
        return symbol;
    }
    // One block's codes with a DC and an AC table: 0, or Decode's -1 or -2.
    int Block(const HuffmanTable& dc, const HuffmanTable& ac) {
        if (count < 32) Load();
        uint16_t step = dc.step[bits >> (64 - kLook)];
        if (step && (step & 31) <= count) {
            bits <<= step & 31, count -= step & 31;
        } else {
            const int symbol = Decode(dc);
            if (symbol < 0) return symbol;
            if (!Skip(symbol)) return -2;
        }
        for (int k = 1; k < 64;) {
            if (count < 32) Load();
            step = ac.step[bits >> (64 - kLook)];
            if (step && (step & 31) <= count) {
                bits <<= step & 31, count -= step & 31;
                k += step >> 5;
                continue;
            }
            const int symbol = Decode(ac);
            if (symbol < 0) return symbol;
            const int run = symbol >> 4, extra = symbol & 15;
            if (extra) {
                if (!Skip(extra)) return -2;
                k += run + 1;
            } else if (run == 15) {
                k += 16;
            } else {
                break;
            }
        }
        return 0;
    }
    bool Skip(int n) {
        if (count < n) Load();
        if (n > count) return false;
        bits <<= n, count -= n;
        return true;
    }
    bool SkipMany(int n) {
        for (; n > 32; n -= 32)
            if (!Skip(32)) return false;
        return Skip(n);
    }
    bool Take(int n, uint32_t* value) {
        if (count < n) Load();
        if (n > count) return false;
        *value = n ? uint32_t(bits >> (64 - n)) : 0;
        bits <<= n, count -= n;
        return true;
    }
    // The place of the first byte after the last one a code used: the bits of a partly used byte
    // are dropped, whole bytes loaded ahead are given back (0xFF 0x00, a stuffed 0xFF, is one).
    size_t End() const {
        size_t end = at;
        for (int i = 0; i < count / 8; ++i) end -= end - start >= 2 && bytes[end - 1] == 0 && bytes[end - 2] == 0xff ? 2 : 1;
        return end;
    }
};

std::string Damaged(const char* text) { return std::string("damaged JPEG data: Corrupt JPEG data: ") + text; }

// From `at`, the bytes before the next marker as libjpeg-turbo counts them (a stuffed 0xFF 0x00
// counts two), and where that marker's code is; false when the file ends first.
bool NextMarker(const uint8_t* bytes, size_t size, size_t at, size_t* skipped, size_t* marker) {
    *skipped = 0;
    while (true) {
        while (at < size && bytes[at] != 0xff) ++at, ++*skipped;
        while (at < size && bytes[at] == 0xff) ++at;
        if (at >= size) return false;
        if (bytes[at] != 0) break;
        *skipped += 2, ++at;
    }
    *marker = at;
    return true;
}

std::string Extraneous(size_t skipped, uint8_t marker) {
    char text[80];
    std::snprintf(text, sizeof text, "%zu extraneous bytes before marker 0x%02x", skipped, marker);
    return Damaged(text);
}

struct Component {
    uint8_t id, h, v;
    std::vector<uint64_t> nonzero;  // progressive files: each block's AC coefficients not zero so far, by zigzag place
};

// The blocks of a progressive file's AC scans as libjpeg-turbo decodes them: the codes and bits of
// a first scan, and of a refining one, which has a correction bit for every coefficient already
// not zero; `run` is the count of blocks left at the end of their band. 0, or Decode's -1 or -2.
int FirstAcBlock(BitReader& reader, const HuffmanTable& ac, int ss, int se, int al, uint32_t& run, uint64_t* nonzero) {
    if (run > 0) {
        --run;
        return 0;
    }
    for (int k = ss; k <= se; ++k) {
        const int symbol = reader.Decode(ac);
        if (symbol < 0) return symbol;
        const int zeros = symbol >> 4, extra = symbol & 15;
        uint32_t bits = 0;
        if (extra) {
            k += zeros;
            if (!reader.Take(extra, &bits)) return -2;
            const int32_t value = bits < 1u << (extra - 1) ? int32_t(bits) - (1 << extra) + 1 : int32_t(bits);
            // The decoder keeps the value shifted into 16 bits, where it may vanish.
            if (int16_t(uint16_t(uint32_t(value) << al)) != 0) *nonzero |= uint64_t(1) << std::min(k, 63);
        } else if (zeros == 15) {
            k += 15;
        } else {
            if (!reader.Take(zeros, &bits)) return -2;
            run = (1u << zeros) + bits - 1;
            break;
        }
    }
    return 0;
}

// Coefficient places first..last (zigzag) of a block, as bits.
uint64_t Band(int first, int last) {
    return (last >= 63 ? ~uint64_t(0) : (uint64_t(1) << (last + 1)) - 1) & ~((uint64_t(1) << first) - 1);
}

int RefiningAcBlock(BitReader& reader, const HuffmanTable& ac, int ss, int se, uint32_t& run, uint64_t* nonzero) {
    int k = ss;
    if (run == 0) {
        for (; k <= se; ++k) {
            const int symbol = reader.Decode(ac);
            if (symbol < 0) return symbol;
            const int zeros = symbol >> 4, extra = symbol & 15;
            if (extra) {
                if (extra != 1) return -1;  // a new coefficient is one bit
                if (!reader.Skip(1)) return -2;
            } else if (zeros != 15) {
                uint32_t bits = 0;
                if (!reader.Take(zeros, &bits)) return -2;
                run = (1u << zeros) + bits;
                break;
            }
            // On to the zeros+1'th coefficient still zero (or past the band), with a correction
            // bit for every coefficient not zero passed on the way.
            const uint64_t band = Band(k, se);
            uint64_t still = ~*nonzero & band;
            for (int i = 0; i < zeros && still; ++i) still &= still - 1;
            const int target = still ? __builtin_ctzll(still) : se + 1;
            const uint64_t passed = *nonzero & band & (target > 63 ? ~uint64_t(0) : (uint64_t(1) << target) - 1);
            if (!reader.SkipMany(__builtin_popcountll(passed))) return -2;
            k = target;
            if (extra) *nonzero |= uint64_t(1) << std::min(k, 63);
        }
    }
    if (run > 0) {
        if (k <= se && !reader.SkipMany(__builtin_popcountll(*nonzero & Band(k, se)))) return -2;
        --run;
    }
    return 0;
}

}  // namespace

std::string CheckJpegScans(const uint8_t* bytes, size_t size, const ReadLimits& limits) {
    if (SniffFormat(bytes, size) != ImageFormat::kJpeg) return {};
    std::vector<HuffmanTable> tables(8);  // DC 0..3, AC 0..3
    std::vector<Component> components;
    bool progressive = false;
    uint32_t width = 0, height = 0, restartInterval = 0, hMax = 1, vMax = 1;
    size_t at = 2;
    while (true) {
        size_t skipped = 0, place = 0;
        if (!NextMarker(bytes, size, at, &skipped, &place)) return {};
        const uint8_t marker = bytes[place];
        at = place + 1;
        if (marker == 0xd9) return {};
        if (marker == 0x01 || (marker >= 0xd0 && marker <= 0xd7)) continue;
        if (size - at < 2 || JpegBig16(bytes + at) < 2 || size - at < JpegBig16(bytes + at)) return {};
        const uint8_t* segment = bytes + at + 2;
        const size_t length = JpegBig16(bytes + at) - 2;
        at += 2 + length;
        if (marker == 0xc4) {  // Huffman tables
            for (size_t i = 0; i < length;) {
                if (length - i < 17) return {};
                const uint8_t kind = segment[i];
                size_t total = 0;
                for (int l = 0; l < 16; ++l) total += segment[i + 1 + size_t(l)];
                if ((kind & 0xec) != 0 || total > 256 || length - i - 17 < total) return {};
                if (!BuildTable(segment + i + 1, segment + i + 17, total, kind < 0x10, &tables[(kind >> 4) * 4 + (kind & 3)]))
                    return {};
                i += 17 + total;
            }
        } else if (marker == 0xdd) {
            if (length < 2) return {};
            restartInterval = JpegBig16(segment);
        } else if (marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8 && marker != 0xcc) {
            // Huffman coding, sequential or progressive, one frame a file.
            if (marker > 0xc2 || !components.empty() || length < 6) return {};
            progressive = marker == 0xc2;
            height = JpegBig16(segment + 1), width = JpegBig16(segment + 3);
            const size_t count = segment[5];
            if (width == 0 || height == 0 || count == 0 || count > 4 || length < 6 + 3 * count) return {};
            for (size_t c = 0; c < count; ++c) {
                const Component component = {segment[6 + 3 * c], uint8_t(segment[7 + 3 * c] >> 4), uint8_t(segment[7 + 3 * c] & 15), {}};
                if (component.h < 1 || component.h > 4 || component.v < 1 || component.v > 4) return {};
                components.push_back(component);
                hMax = std::max<uint32_t>(hMax, component.h), vMax = std::max<uint32_t>(vMax, component.v);
            }
            if (progressive) {
                // A bit for each AC coefficient of every block: a sixteenth of what the decoder
                // holds for them, so no more than its budget allows.
                const uint64_t across = (width + 8 * hMax - 1) / (8 * hMax), down = (height + 8 * vMax - 1) / (8 * vMax);
                uint64_t blocks = 0;
                for (const Component& c : components) blocks += across * c.h * down * c.v;
                if (blocks * 8 > DecoderBudget(size, limits) / 16) return {};
                for (Component& c : components) c.nonzero.assign(across * c.h * down * c.v, 0);
            }
        } else if (marker == 0xda) {
            if (components.empty() || length < 1) return {};
            const size_t count = segment[0];
            if (count < 1 || count > 4 || length != 4 + 2 * count) return {};
            const int ss = segment[1 + 2 * count], se = segment[2 + 2 * count];
            const int ah = segment[3 + 2 * count] >> 4, al = segment[3 + 2 * count] & 15;
            if (!progressive && (ss != 0 || se != 63 || ah != 0 || al != 0)) return {};
            // The checks of the decoder's progressive mode, which refuses a scan that fails them.
            if (progressive && ((ss == 0 ? se != 0 : ss > se || se > 63 || count != 1) || (ah != 0 && al != ah - 1) || al > 13))
                return {};
            const bool dcScan = progressive && ss == 0;
            // The blocks of one MCU: their component and their tables.
            struct Block {
                Component* component;
                const HuffmanTable *dc, *ac;
            };
            std::vector<Block> blocks;
            uint64_t across = (width + 8 * hMax - 1) / (8 * hMax), down = (height + 8 * vMax - 1) / (8 * vMax);
            for (size_t s = 0; s < count; ++s) {
                Component* c = nullptr;
                for (Component& candidate : components)
                    if (candidate.id == segment[1 + 2 * s]) c = &candidate;
                const uint8_t pair = segment[2 + 2 * s];
                if (!c || (pair & 0xcc) != 0) return {};
                const HuffmanTable* dc = &tables[pair >> 4];
                const HuffmanTable* ac = &tables[4 + (pair & 3)];
                // A table the scan needs and the file lacks: the decoder's defaults, or its refusal.
                if ((!progressive || (dcScan && ah == 0)) && !dc->defined) return {};
                if (!dcScan && !ac->defined) return {};
                blocks.insert(blocks.end(), count == 1 ? 1 : size_t(c->h) * c->v, Block{c, dc, ac});
                if (count == 1) {
                    across = (uint64_t(width) * c->h + 8 * hMax - 1) / (8 * hMax);
                    down = (uint64_t(height) * c->v + 8 * vMax - 1) / (8 * vMax);
                }
            }
            if (blocks.size() > 10) return {};
            const uint64_t stride = (width + 8 * hMax - 1) / (8 * hMax) * blocks[0].component->h;  // of the record

            BitReader reader{bytes, size, at};
            uint32_t run = 0;  // blocks left at the end of their band (progressive AC scans)
            const uint64_t units = across * down;
            uint64_t unitRow = 0, unitColumn = 0;  // the MCU's place
            for (uint64_t unit = 0; unit < units; ++unit, unitColumn = unitColumn + 1 == across ? 0 : unitColumn + 1) {
                if (unit > 0 && unitColumn == 0) ++unitRow;
                if (restartInterval && unit > 0 && unit % restartInterval == 0) {
                    // Each interval starts on a byte after its restart marker.
                    if (!NextMarker(bytes, size, reader.End(), &skipped, &place)) return {};
                    const uint8_t expected = uint8_t(0xd0 + (unit / restartInterval - 1) % 8);
                    if (skipped) return Extraneous(skipped, bytes[place]);
                    if (bytes[place] != expected) return {};  // the decoder says so
                    reader = BitReader{bytes, size, place + 1};
                    run = 0;
                }
                for (const Block& b : blocks) {
                    int result = 0;
                    if (!progressive) {
                        result = reader.Block(*b.dc, *b.ac);
                    } else if (dcScan) {
                        const int symbol = ah == 0 ? reader.Decode(*b.dc) : 1;
                        result = symbol < 0 ? symbol : reader.Skip(symbol) ? 0 : -2;
                    } else {
                        // AC scans have one component, and an MCU of one block.
                        uint64_t* nonzero = &b.component->nonzero[unitRow * stride + unitColumn];
                        result = ah == 0 ? FirstAcBlock(reader, *b.ac, ss, se, al, run, nonzero)
                                         : RefiningAcBlock(reader, *b.ac, ss, se, run, nonzero);
                    }
                    if (result == -1) return Damaged("bad Huffman code");
                    // A file that ends inside its data is the outline's and the decoder's to refuse.
                    if (result == -2) return reader.at >= size ? std::string() : Damaged("premature end of data segment");
                }
            }
            if (!NextMarker(bytes, size, reader.End(), &skipped, &place)) return {};
            if (skipped) return Extraneous(skipped, bytes[place]);
            at = place - 1;
        }
    }
}

}  // namespace varno
