#include "png/deflate_flat.h"

#include <libdeflate.h>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>

namespace basin {
namespace {

// The literal/length alphabet: bytes 0 ... 255, the end of a block, and
// the copy lengths' symbols 257 ... 285.
constexpr int LITLEN_SYMBOLS = 286;
constexpr int END_OF_BLOCK = 256;
constexpr int MAX_CODE_BITS = 15;
constexpr int CODE_LENGTH_SYMBOLS = 19;
constexpr int MAX_CODE_LENGTH_BITS = 7;
constexpr std::size_t MIN_COPY = 3;
constexpr std::size_t MAX_COPY = 258;
constexpr std::size_t PIXEL_BYTES = 3;
// A block header's bytes at most: 17 bits, 19 lengths of 3 bits and the
// lengths of 290 symbols at 14 bits each.
constexpr std::size_t HEADER_ROOM = 600;

// A token is a literal byte (below 256) or COPY + n: n bytes, each a copy
// of the byte three before it, one pixel back.
constexpr int COPY = 256;

// The copies' distance, three, is distance symbol 2, without extra bits.
// Symbol 3 takes the other one-bit code, never sent, so that the distance
// code is complete: some decoders refuse an incomplete one.
constexpr std::uint8_t DISTANCE_LENGTHS[] = {0, 0, 1, 1};
constexpr int DISTANCE_SYMBOLS = 4;
constexpr std::uint32_t COPY_DISTANCE_CODE = 0;

struct LengthSymbol {
  std::uint16_t symbol = 0;
  std::uint8_t extraBits = 0;
  std::uint16_t extra = 0;
};

// The copy length symbols 257 ... 285: the shortest length each stands
// for, and the extra bits that say how much longer.
constexpr int LENGTH_CODES = 29;
constexpr int LENGTH_BASE[LENGTH_CODES] = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                           15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                           67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr int LENGTH_EXTRA_BITS[LENGTH_CODES] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};

// The length symbol of each copy length 3 ... 258, and its extra bits.
const std::array<LengthSymbol, MAX_COPY + 1> LENGTH_SYMBOLS = [] {
  std::array<LengthSymbol, MAX_COPY + 1> symbols{};
  // 258 is both symbol 284 with all extra bits set and symbol 285: the
  // later one, as the format requires, overwrites the earlier.
  for (int k = 0; k < LENGTH_CODES; ++k)
    for (int n = LENGTH_BASE[k];
         n < LENGTH_BASE[k] + (1 << LENGTH_EXTRA_BITS[k]) && n <= int(MAX_COPY); ++n)
      symbols[std::size_t(n)] = {std::uint16_t(END_OF_BLOCK + 1 + k),
                                 std::uint8_t(LENGTH_EXTRA_BITS[k]),
                                 std::uint16_t(n - LENGTH_BASE[k])};
  return symbols;
}();

// The order in which a block header gives the code-length code's lengths.
constexpr std::uint8_t CODE_LENGTH_ORDER[CODE_LENGTH_SYMBOLS] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                                 11, 4,  12, 3, 13, 2, 14, 1, 15};

// Sends bits lowest first, as deflate packs them, into a buffer known to
// be large enough.
class BitWriter {
 public:
  explicit BitWriter(std::uint8_t* out) : start_(out), at_(out) {}

  // count <= 32
  // The whole bytes go out at once, with no branch: eight are stored, and
  // those past the whole ones are stored again by the next call (the
  // buffer has room for them). Fewer than 8 bits stay behind.
  void put(std::uint32_t value, int count) {
    bits_ |= std::uint64_t(value) << count_;
    count_ += count;
    for (int i = 0; i < 8; ++i) at_[i] = std::uint8_t(bits_ >> (8 * i));
    at_ += count_ >> 3;
    bits_ >>= count_ & ~7;
    count_ &= 7;
  }

  // Pads with zero bits to the next byte boundary.
  void align() {
    for (; count_ > 0; count_ -= 8, bits_ >>= 8) *at_++ = std::uint8_t(bits_);
    count_ = 0;
    bits_ = 0;
  }

  void putByte(std::uint8_t byte) { *at_++ = byte; }  // on a byte boundary only

  std::size_t size() const { return std::size_t(at_ - start_); }

 private:
  std::uint8_t* start_;
  std::uint8_t* at_;
  std::uint64_t bits_ = 0;
  int count_ = 0;
};

// Huffman code lengths for `weight` (n symbols, at least two of them
// weighed): two-queue construction over the weighed symbols sorted by
// weight, then symbol, so the result is the same on every run. Returns the
// longest length; symbols of no weight get 0.
int huffmanLengths(const std::uint32_t* weight, int n, std::uint8_t* lengths) {
  int leaves[LITLEN_SYMBOLS];
  int m = 0;
  for (int s = 0; s < n; ++s)
    if (weight[s] != 0) leaves[m++] = s;
  std::sort(leaves, leaves + m, [weight](int a, int b) {
    return weight[a] != weight[b] ? weight[a] < weight[b] : a < b;
  });
  // Nodes: the leaves in that order, then the inner nodes as they are made,
  // which come out in order of weight, so each queue stays sorted.
  std::uint64_t nodeWeight[2 * LITLEN_SYMBOLS];
  int parent[2 * LITLEN_SYMBOLS];
  for (int k = 0; k < m; ++k) nodeWeight[k] = weight[leaves[k]];
  int nextLeaf = 0, nextInner = m, made = m;
  const auto lightest = [&] {
    if (nextLeaf < m && (nextInner == made || nodeWeight[nextLeaf] <= nodeWeight[nextInner]))
      return nextLeaf++;
    return nextInner++;
  };
  while (made < 2 * m - 1) {
    const int a = lightest(), b = lightest();
    nodeWeight[made] = nodeWeight[a] + nodeWeight[b];
    parent[a] = parent[b] = made;
    ++made;
  }
  int depth[2 * LITLEN_SYMBOLS];
  depth[made - 1] = 0;
  for (int k = made - 2; k >= 0; --k) depth[k] = depth[parent[k]] + 1;  // parents come later
  std::fill(lengths, lengths + n, std::uint8_t(0));
  int longest = 0;
  for (int k = 0; k < m; ++k) {
    longest = std::max(longest, depth[k]);
    lengths[leaves[k]] = std::uint8_t(std::min(depth[k], 255));
  }
  return longest;
}

// Lengths of a complete prefix code for `freq` (n symbols), none longer
// than `limit`, 0 for symbols never used. Where the optimal code is too
// long, the weights are halved (each used one staying at least 1) until it
// fits. A lone symbol is paired with an unused one: a code of one symbol is
// incomplete, which some decoders refuse.
void codeLengths(const std::uint32_t* freq, int n, int limit, std::uint8_t* lengths) {
  std::uint32_t weight[LITLEN_SYMBOLS];
  std::copy(freq, freq + n, weight);
  int used = int(std::count_if(weight, weight + n, [](std::uint32_t w) { return w != 0; }));
  for (int s = 0; s < n && used < 2; ++s)
    if (weight[s] == 0) weight[s] = 1, ++used;
  while (huffmanLengths(weight, n, lengths) > limit)
    for (int s = 0; s < n; ++s)
      if (weight[s] != 0) weight[s] = (weight[s] >> 1) | 1;
}

// The canonical codes for `lengths` (RFC 1951, 3.2.2), their bits reversed:
// deflate sends a code from its first bit, the writer from its lowest.
void canonicalCodes(const std::uint8_t* lengths, int n, std::uint32_t* codes) {
  int count[MAX_CODE_BITS + 1] = {};
  for (int s = 0; s < n; ++s) ++count[lengths[s]];
  count[0] = 0;
  std::uint32_t next[MAX_CODE_BITS + 1] = {};
  std::uint32_t code = 0;
  for (int bits = 1; bits <= MAX_CODE_BITS; ++bits) {
    code = (code + std::uint32_t(count[bits - 1])) << 1;
    next[bits] = code;
  }
  for (int s = 0; s < n; ++s) {
    const int bits = lengths[s];
    if (bits == 0) continue;
    std::uint32_t value = next[bits]++, reversed = 0;
    for (int b = 0; b < bits; ++b, value >>= 1) reversed = (reversed << 1) | (value & 1);
    codes[s] = reversed;
  }
}

// Writes a dynamic block's header: the final-block bit, the block type and
// the lengths of both codes, run-length coded with symbols 16, 17 and 18
// and then Huffman coded themselves (RFC 1951, 3.2.7).
void writeHeader(BitWriter& out, bool last, const std::uint8_t* litLengths, int litCount) {
  std::uint8_t all[LITLEN_SYMBOLS + DISTANCE_SYMBOLS];
  std::copy(litLengths, litLengths + litCount, all);
  std::copy(DISTANCE_LENGTHS, DISTANCE_LENGTHS + DISTANCE_SYMBOLS, all + litCount);
  const int total = litCount + DISTANCE_SYMBOLS;

  struct Item {
    std::uint8_t symbol, extra;
  };
  Item items[LITLEN_SYMBOLS + DISTANCE_SYMBOLS];
  int count = 0;
  std::uint32_t freq[CODE_LENGTH_SYMBOLS] = {};
  const auto add = [&](int symbol, int extra) {
    items[count++] = {std::uint8_t(symbol), std::uint8_t(extra)};
    ++freq[symbol];
  };
  for (int i = 0, run = 1; i < total; i += run) {
    const int value = all[i];
    for (run = 1; i + run < total && all[i + run] == value;) ++run;
    int left = run;
    if (value == 0) {
      for (; left >= 11; left -= std::min(left, 138)) add(18, std::min(left, 138) - 11);
      if (left >= 3) add(17, left - 3), left = 0;
    } else {
      add(value, 0), --left;
      for (; left >= 3; left -= std::min(left, 6)) add(16, std::min(left, 6) - 3);
    }
    for (; left > 0; --left) add(value, 0);
  }

  std::uint8_t lengths[CODE_LENGTH_SYMBOLS];
  std::uint32_t codes[CODE_LENGTH_SYMBOLS];
  codeLengths(freq, CODE_LENGTH_SYMBOLS, MAX_CODE_LENGTH_BITS, lengths);
  canonicalCodes(lengths, CODE_LENGTH_SYMBOLS, codes);
  int sent = CODE_LENGTH_SYMBOLS;
  while (sent > 4 && lengths[CODE_LENGTH_ORDER[sent - 1]] == 0) --sent;

  out.put(last ? 1 : 0, 1);
  out.put(2, 2);  // Huffman codes of the block's own
  out.put(std::uint32_t(litCount - 257), 5);
  out.put(std::uint32_t(DISTANCE_SYMBOLS - 1), 5);
  out.put(std::uint32_t(sent - 4), 4);
  for (int k = 0; k < sent; ++k) out.put(lengths[CODE_LENGTH_ORDER[k]], 3);
  static const int EXTRA_BITS[3] = {2, 3, 7};  // of symbols 16, 17, 18
  for (int k = 0; k < count; ++k) {
    const Item item = items[k];
    out.put(codes[item.symbol], lengths[item.symbol]);
    if (item.symbol >= 16) out.put(item.extra, EXTRA_BITS[item.symbol - 16]);
  }
}

// How many bytes from `at` on, up to `end`, each equal the byte three
// before them.
std::size_t repeatLength(const std::uint8_t* at, const std::uint8_t* end) {
  const std::uint8_t* p = at;
#ifdef __SSE2__
  for (; end - p >= 16; p += 16) {
    const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i back = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p - PIXEL_BYTES));
    const int same = _mm_movemask_epi8(_mm_cmpeq_epi8(here, back));
    if (same != 0xffff) return std::size_t(p - at) + std::size_t(__builtin_ctz(~same));
  }
#endif
  for (; end - p >= 8; p += 8) {
    std::uint64_t here, back;
    std::memcpy(&here, p, 8);
    std::memcpy(&back, p - PIXEL_BYTES, 8);
    if (here != back) break;
  }
  while (p < end && *p == p[-PIXEL_BYTES]) ++p;
  return std::size_t(p - at);
}

// Appends the tokens of one scanline, its filter byte (none) and the
// `bytes` bytes of `row`, and counts their symbols in `freq`. Copies reach
// back within the row only.
std::uint16_t* tokenizeRow(const std::uint8_t* row, std::size_t bytes, std::uint16_t* token,
                           std::uint32_t* freq) {
  *token++ = 0;
  ++freq[0];
  for (std::size_t i = 0; i < bytes;) {
    std::size_t run = i >= PIXEL_BYTES ? repeatLength(row + i, row + bytes) : 0;
    if (run < MIN_COPY) {
      ++freq[row[i]];
      *token++ = row[i++];
      continue;
    }
    i += run;
    while (run > 0) {
      // A rest too short to copy is left long enough by a shorter piece.
      std::size_t n = std::min(run, MAX_COPY);
      if (run - n > 0 && run - n < MIN_COPY) n = run - MIN_COPY;
      ++freq[LENGTH_SYMBOLS[n].symbol];
      *token++ = std::uint16_t(COPY + n);
      run -= n;
    }
  }
  return token;
}

// Codes of every copy length, distance included, as one value of `bits` bits.
struct CopyCode {
  std::uint32_t value;
  int bits;
};

void writeTokens(BitWriter& out, const std::uint16_t* token, const std::uint16_t* end,
                 const std::uint8_t* lengths, const std::uint32_t* codes) {
  CopyCode copies[MAX_COPY + 1];
  for (std::size_t n = MIN_COPY; n <= MAX_COPY; ++n) {
    const LengthSymbol& s = LENGTH_SYMBOLS[n];
    const int bits = lengths[s.symbol];
    copies[n] = {codes[s.symbol] | std::uint32_t(s.extra) << bits |
                     COPY_DISTANCE_CODE << (bits + s.extraBits),
                 bits + s.extraBits + 1};
  }
  for (; token < end; ++token) {
    if (*token < COPY) {
      out.put(codes[*token], lengths[*token]);
    } else {
      const CopyCode& copy = copies[*token - COPY];
      out.put(copy.value, copy.bits);
    }
  }
  out.put(codes[END_OF_BLOCK], lengths[END_OF_BLOCK]);
}

// The bits the tokens counted in `freq` take with code `lengths`: each
// copy adds its length's extra bits and the one bit of its distance.
std::size_t tokenBits(const std::uint32_t* freq, const std::uint8_t* lengths) {
  std::size_t bits = 0;
  for (int s = 0; s < LITLEN_SYMBOLS; ++s) bits += std::size_t(freq[s]) * lengths[s];
  for (int k = 0; k < LENGTH_CODES; ++k)
    bits += std::size_t(freq[END_OF_BLOCK + 1 + k]) * (LENGTH_EXTRA_BITS[k] + 1u);
  return bits;
}

}  // namespace

void deflateRows(const std::uint8_t* rows, std::size_t stride, int width, int count, bool last,
                 DeflateScratch& scratch, DeflatePiece& piece) {
  const std::size_t rowBytes = std::size_t(width) * PIXEL_BYTES;
  const std::size_t scanlines = (rowBytes + 1) * std::size_t(count);
  std::uint16_t* const tokens = scratch.tokens.atLeast(scanlines);
  std::uint32_t freq[LITLEN_SYMBOLS] = {};
  std::uint16_t* end = tokens;
  // libdeflate's Adler-32 runs several times as fast as zlib's 1.2.
  std::uint32_t adler = 1;
  static const std::uint8_t NO_FILTER = 0;
  for (int y = 0; y < count; ++y) {
    const std::uint8_t* row = rows + std::size_t(y) * stride;
    end = tokenizeRow(row, rowBytes, end, freq);
    adler = libdeflate_adler32(libdeflate_adler32(adler, &NO_FILTER, 1), row, rowBytes);
  }
  freq[END_OF_BLOCK] = 1;

  std::uint8_t lengths[LITLEN_SYMBOLS];
  std::uint32_t codes[LITLEN_SYMBOLS] = {};
  codeLengths(freq, LITLEN_SYMBOLS, MAX_CODE_BITS, lengths);
  canonicalCodes(lengths, LITLEN_SYMBOLS, codes);
  int litCount = LITLEN_SYMBOLS;
  while (lengths[litCount - 1] == 0) --litCount;  // at least 257: the end of block is used

  // The piece is written in place, into room for a header of under 600
  // bytes, the tokens' codes, the closing bytes and the writer's overrun.
  piece.bytes.resize(HEADER_ROOM + tokenBits(freq, lengths) / 8 + 16);
  BitWriter out(piece.bytes.data());
  writeHeader(out, last, lengths, litCount);
  writeTokens(out, tokens, end, lengths, codes);
  if (!last) {
    // An empty stored block brings the stream to a byte boundary, so that
    // the next piece can follow.
    out.put(0, 3);
    out.align();
    static const std::uint8_t EMPTY_LENGTHS[4] = {0x00, 0x00, 0xff, 0xff};  // 0 and its complement
    for (const std::uint8_t byte : EMPTY_LENGTHS) out.putByte(byte);
  }
  out.align();
  piece.bytes.resize(out.size());
  piece.adler = adler;
  piece.length = scanlines;
}

}  // namespace basin
