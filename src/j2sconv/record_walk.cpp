#include "j2sconv/record_walk.h"

#include <algorithm>
#include <cstring>

#include "j2sconv/field_trimmer.h"
#include "shared/jef_codes.h"
#include "simd/simd.h"

namespace velk::j2s {

namespace {

// A zoned byte: its digit, and the sign its zone sets (0: none).
struct ZonedByte {
    char digit;
    char sign;
};

constexpr std::array<ZonedByte, 256> zonedBytes = [] {
    std::array<ZonedByte, 256> t{};
    for (int b = 0; b < 256; ++b) {
        int zone = b >> 4, digit = b & 0x0F;
        t[b] = {'0', 0};
        if (digit > 9) continue;
        if (zone == 0xF) t[b] = {static_cast<char>('0' + digit), 0};
        if (zone == 0xC) t[b] = {static_cast<char>('0' + digit), '+'};
        if (zone == 0xD) t[b] = {static_cast<char>('0' + digit), '-'};
    }
    return t;
}();

// A packed byte: its high nibble's digit, then its low nibble's digit or
// sign; '?' for a nibble that is neither. `places` counts the digit places
// taken: a sign nibble takes none.
struct PackedByte {
    char high;
    char low;
    char sign;
    std::uint8_t places;
};

constexpr std::array<PackedByte, 256> packedBytes = [] {
    std::array<PackedByte, 256> t{};
    for (int b = 0; b < 256; ++b) {
        int hi = b >> 4, lo = b & 0x0F;
        PackedByte p{hi <= 9 ? static_cast<char>('0' + hi) : '?', '?', 0, 2};
        if (lo <= 9) p.low = static_cast<char>('0' + lo);
        if (lo == 0xC || lo == 0xF) p = {p.high, '?', '+', 1};
        if (lo == 0xD) p = {p.high, '?', '-', 1};
        t[b] = p;
    }
    return t;
}();

class Walk {
public:
    Walk(const RecordLayout& layout, std::span<const std::uint8_t> source, bool inputEnds,
         const CodeTables& tables, std::uint8_t* out, std::vector<ConversionError>& errors,
         int trimFlags)
        : layout_(layout), text_(layout.text), src_(source.data()), n_(source.size()), inputEnds_(inputEnds),
          tables_(tables), out_(out), errors_(errors), trim_(trimFlags != 0),
          inPlace_(trimFlags, out, tables.level, true), moving_(trimFlags, out, tables.level) {}

    RecordResult run() {
        for (const PatternRun& run : layout_.runs) {
            literal(run.start - run.prefix, run.prefix);
            switch (run.kind) {
            case RunKind::Chars:
                if (!chars(run)) return result_;
                if (trim_) settle();
                break;
            case RunKind::Kanji:
                if (!kanji(run)) return result_;
                if (trim_) settle();
                break;
            // Numbers are signs, digits, points and '?': no comma, pad,
            // quote or lead byte, so a field of them alone trims to itself.
            case RunKind::Zoned:
                if (!zoned(run)) return result_;
                scanned_ = o_;
                break;
            case RunKind::Packed:
                if (!packed(run)) return result_;
                scanned_ = o_;
                break;
            case RunKind::Binary:
                if (!binary(run)) return result_;
                scanned_ = o_;
                break;
            case RunKind::Literal:
                literal(run.start, run.length);
                break;
            case RunKind::BadZoned:
                skipShifts();
                if (s_ >= n_ && inputEnds_) return stop(run.start);
                return fail(RecordStatus::BadZonedRun);
            case RunKind::BadPacked:
                if (s_ >= n_ && inputEnds_) return stop(run.start);
                return fail(RecordStatus::BadPackedRun);
            case RunKind::BadBinary:
                if (s_ >= n_ && inputEnds_) return stop(run.start);
                return fail(RecordStatus::BadBinaryRun);
            }
        }
        return stop(text_.size());
    }

private:
    void skipShifts() {
        while (s_ < n_ && tables_.skips[src_[s_]]) ++s_;
    }

    // The input ended: the rest of the pattern stands in the output as written.
    RecordResult stop(std::size_t patPos) {
        std::size_t rest = text_.size() - patPos;
        if (trim_) {
            settle();  // a run the input cut
            literal(patPos, rest);
            finishTrim();
        } else {
            std::memcpy(out_ + o_, text_.data() + patPos, rest);
            o_ += rest;
        }
        result_ = {RecordStatus::Done, s_, o_};
        return result_;
    }

    // Trimming as the record is written. A field is trimmed where it stands
    // when its comma comes, and the next one is written after it, so nothing
    // moves twice and no comma is searched for twice; the fields come out
    // joined as trimFields joins them: empty ones dropped, each kept one
    // followed by a comma, the last comma taken off at the end.

    // Ends the field at out_[fieldStart_, c), c being a comma or the end.
    // Inline: most fields are numbers, which only take their comma.
    __attribute__((always_inline)) void closeField(std::size_t c, field_trim::FieldTrimmer& trimmer) {
        if (c == fieldStart_) {
            if (!anyField_) ++loneCommas_;
            o_ = scanned_ = fieldStart_;
            return;
        }
        std::size_t w = fieldText_ ? trimField(c, trimmer) : c;
        out_[w++] = ',';
        fieldStart_ = o_ = scanned_ = w;
        anyField_ = true;
        fieldText_ = false;
    }

    __attribute__((noinline)) std::size_t trimField(std::size_t c, field_trim::FieldTrimmer& trimmer) {
        return trimmer.field(fieldStart_, c, fieldStart_);
    }

    // Looks for commas in the output of a character or kanji run that its
    // fast path did not write, out_[scanned_, o_): a comma there ends a
    // field in the middle of the run, and the rest of the run moves up
    // behind it.
    void settle() {
        if (scanned_ == o_) return;
        if (const std::size_t c = findComma(scanned_); c < o_) split(c);
        scanned_ = o_;
    }

    __attribute__((noinline)) void split(std::size_t c) {
        for (; c < o_; c = findComma(scanned_)) {
            const std::size_t rest = o_ - c - 1;
            closeField(c, moving_);  // moving_ writes below c only
            std::memmove(out_ + o_, out_ + c + 1, rest);
            o_ += rest;
            fieldText_ = rest != 0;
        }
    }

    // The first comma of out_[from, o_), or o_. Whole windows or words may
    // be read past o_: the buffer has kTrimRoom there.
    std::size_t findComma(std::size_t from) const {
        if (tables_.level != simd::Level::portable) {
            for (; from < o_; from += simd::kTrimWindow) {
                if (const std::uint64_t hits = simd::commaWindow(tables_.level, out_ + from))
                    return std::min(o_, from + static_cast<std::size_t>(__builtin_ctzll(hits)));
            }
            return o_;
        }
        for (; from < o_; from += 8) {
            std::uint64_t hits = field_trim::equalBits(field_trim::load8(out_ + from),
                                                       0x2C2C2C2C2C2C2C2Cull);
            if (hits) return std::min(o_, from + static_cast<std::size_t>(__builtin_ctzll(hits)) / 8);
        }
        return o_;
    }

    void finishTrim() {
        if (o_ > fieldStart_) closeField(o_, inPlace_);
        if (anyField_) {
            --o_;
        } else {
            // No field at all: the record was its commas, and stays so.
            std::memset(out_, ',', loneCommas_);
            o_ = loneCommas_;
        }
    }

    RecordResult fail(RecordStatus status) {
        result_ = {status, s_, o_};
        return result_;
    }

    // Each returns false when the record is finished (stopped, or more input needed).
    bool needInput() {
        result_ = {RecordStatus::NeedInput, s_, o_};
        return false;
    }

    bool stopAt(std::size_t patPos) {
        stop(patPos);
        return false;
    }

    bool chars(const PatternRun& run) {
        const auto& table = tables_.single;
        std::uint32_t k = 0;
        fieldText_ = true;
        if (n_ - s_ >= run.length) {
            // Common case: the whole run is there and every byte maps.
            const std::uint8_t* src = src_ + s_;
            std::uint8_t* out = out_ + o_;
            if (trim_) {
                k = simd::plainChars(tables_.level, src, run.length, out, tables_.plainNoComma.data());
                scanned_ = o_ + k;  // no comma among them
            } else {
                k = simd::plainChars(tables_.level, src, run.length, out, tables_.plain.data());
            }
            for (; k < run.length; ++k) {
                std::uint16_t v = table[src[k]];
                if (v > 0xFF) break;
                out[k] = static_cast<std::uint8_t>(v);
            }
            s_ += k;
            o_ += k;
        }
        for (; k < run.length; ++k) {
            skipShifts();
            if (s_ >= n_) return inputEnds_ ? stopAt(run.start + k) : needInput();
            // A shift code kept as data converts as what it is as data.
            const std::uint16_t v = table[src_[s_]] & static_cast<std::uint16_t>(~kMarkShift);
            if (v & kMarkUnmapped) errors_.push_back({ConversionError::SingleByte, src_[s_], s_});
            out_[o_++] = static_cast<std::uint8_t>(v);  // or the substitute
            ++s_;
        }
        return true;
    }

    bool kanji(const PatternRun& run) {
        const KanjiEntry* table = tables_.kanji.data();
        const std::uint32_t pairs = (run.length + 1) / 2;
        std::uint32_t k = 0;
        fieldText_ = true;
        if (n_ - s_ >= 2 * std::size_t{pairs}) {
            // Common case: the whole run is there, with no shift code and no unmapped code.
            const std::uint8_t* src = src_ + s_;
            std::uint8_t* out = out_ + o_;
            k = simd::shortcutKanji(tables_.level, src, pairs, out, tables_.jis);
            scanned_ = o_ + 2 * k;  // JIS arithmetic writes no comma: bytes 0x40 and up
            for (; k < pairs; ++k) {
                if (tables_.skips[src[2 * k]]) break;
                KanjiEntry e = table[src[2 * k] << 8 | src[2 * k + 1]];
                if ((e[0] | e[1]) == 0) break;
                out[2 * k] = e[0];
                out[2 * k + 1] = e[1];
            }
            s_ += 2 * k;
            o_ += 2 * k;
        }
        for (; k < pairs; ++k) {
            skipShifts();
            std::size_t avail = n_ - s_;
            if (avail < 2) {
                if (!inputEnds_) return needInput();
                if (avail == 0) return stopAt(run.start + 2 * k);
                // A lead byte cut off by the end of the input.
                errors_.push_back({ConversionError::LoneLeadByte, src_[s_], s_});
                out_[o_++] = jef::kSubstituteKanji[0];
                out_[o_++] = jef::kSubstituteKanji[1];
                ++s_;
                continue;
            }
            std::uint16_t code = static_cast<std::uint16_t>(src_[s_] << 8 | src_[s_ + 1]);
            KanjiEntry e = table[code];
            if ((e[0] | e[1]) == 0) {
                errors_.push_back({ConversionError::Kanji, code, s_});
                e = {jef::kSubstituteKanji[0], jef::kSubstituteKanji[1]};
            }
            out_[o_++] = e[0];
            out_[o_++] = e[1];
            s_ += 2;
        }
        return true;
    }

    // Takes up to run.sourceBytes bytes. Returns false when the record is
    // finished here; `take` is how many of them are there.
    bool numberBytes(const PatternRun& run, std::size_t& take) {
        std::size_t avail = n_ - s_;
        if (avail < run.sourceBytes && !inputEnds_) return needInput();
        if (avail == 0) return stopAt(run.start);
        take = std::min<std::size_t>(avail, run.sourceBytes);
        return true;
    }

    bool zoned(const PatternRun& run) {
        skipShifts();
        std::size_t take = 0;
        if (!numberBytes(run, take)) return false;
        const std::uint8_t* src = src_ + s_;
        const char* text = text_.data() + run.start;
        std::uint8_t* signAt = out_ + o_;
        std::uint8_t* out = signAt + 1;
        char sign = 0;
        if (run.pointAt != kPoints) {
            // No point or one: digit j goes to j, or past the point.
            const std::uint32_t point = run.pointAt;
            std::uint32_t j = 0;
            for (; j < take; ++j) {
                const ZonedByte z = zonedBytes[src[j]];
                out[j + (j >= point)] = static_cast<std::uint8_t>(z.digit);
                sign = z.sign ? z.sign : sign;
            }
            for (; j < run.digits; ++j) out[j + (j >= point)] = '?';
            if (point != kNoPoint) out[point] = '.';
            out += run.length;
        } else {
            std::size_t j = 0;
            for (std::uint32_t i = 0; i < run.length; ++i) {
                if (text[i] == '.') {
                    *out++ = '.';
                } else if (j < take) {
                    ZonedByte z = zonedBytes[src[j++]];
                    *out++ = static_cast<std::uint8_t>(z.digit);
                    if (z.sign) sign = z.sign;
                } else {
                    *out++ = '?';
                }
            }
        }
        // A field cut by the end of the input may have lost its sign byte.
        const bool cut = take < run.sourceBytes;
        *signAt = static_cast<std::uint8_t>(sign ? sign : cut ? '?' : '+');
        s_ += take;
        o_ = static_cast<std::size_t>(out - out_);
        return true;
    }

    bool packed(const PatternRun& run) {
        std::size_t take = 0;
        if (!numberBytes(run, take)) return false;
        // A sign and at most 33 digit places (two per byte).
        char digits[2 * (maxPackedDigits / 2 + 1) + 2];
        std::memset(digits, '?', sizeof digits);
        const std::uint8_t* src = src_ + s_;
        char sign = '?';
        std::size_t d = 0;
        for (std::size_t k = 0; k < take; ++k) {
            PackedByte p = packedBytes[src[k]];
            digits[d] = p.high;
            digits[d + 1] = p.low;
            d += p.places;
            if (p.sign) sign = p.sign;
        }
        s_ += take;
        // With an even count the first nibble is a filler.
        const char* digit = digits + (run.digits % 2 == 0 ? 1 : 0);
        std::uint8_t* out = out_ + o_;
        if (run.letter == 'C' || sign != '+') *out++ = static_cast<std::uint8_t>(sign);
        o_ = static_cast<std::size_t>(withPoints(run, digit, out) - out_);
        return true;
    }

    // The run's digits, with its points where the pattern has them.
    std::uint8_t* withPoints(const PatternRun& run, const char* digit, std::uint8_t* out) const {
        if (run.pointAt == kNoPoint) {
            std::memcpy(out, digit, run.digits);
        } else if (run.pointAt != kPoints) {
            std::memcpy(out, digit, run.pointAt);
            out[run.pointAt] = '.';
            std::memcpy(out + run.pointAt + 1, digit + run.pointAt, run.digits - run.pointAt);
        } else {
            const char* text = text_.data() + run.start;
            for (std::uint32_t i = 0; i < run.length; ++i)
                out[i] = static_cast<std::uint8_t>(text[i] == '.' ? '.' : *digit++);
        }
        return out + run.length;
    }

    // A big-endian binary number: two's complement under B, unsigned under
    // U. Printed as packed ones are: B always with its sign, U without,
    // leading zeros to the run's digits. Any byte may stand in it, shift
    // codes included. A value with more digits than the run has is not cut:
    // every digit place shows '?' and the field is reported.
    bool binary(const PatternRun& run) {
        std::size_t take = 0;
        if (!numberBytes(run, take)) return false;
        char digits[maxBinaryDigits];
        std::memset(digits, '?', sizeof digits);
        char sign = '?';
        if (take == run.sourceBytes) {
            std::uint64_t bits = 0;
            for (std::size_t k = 0; k < take; ++k) bits = bits << 8 | src_[s_ + k];
            const unsigned width = 8 * static_cast<unsigned>(take);
            bool negative = false;
            if (run.letter == 'B' && (bits >> (width - 1)) != 0) {
                negative = true;
                // The magnitude of a negative number, -2^63 included.
                bits = (~bits + 1) & (width == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << width) - 1);
            }
            sign = negative ? '-' : '+';
            std::uint64_t limit = 1;  // 10^digits: the first value the run cannot show
            for (std::uint32_t i = 0; i < run.digits; ++i) limit *= 10;
            if (bits < limit) {
                for (std::uint32_t i = run.digits; i-- > 0; bits /= 10)
                    digits[i] = static_cast<char>('0' + bits % 10);
            } else {
                errors_.push_back({ConversionError::BinaryOverflow,
                                   static_cast<std::uint16_t>(run.digits), s_});
            }
        }
        s_ += take;
        std::uint8_t* out = out_ + o_;
        if (run.letter == 'B') *out++ = static_cast<std::uint8_t>(sign);
        o_ = static_cast<std::size_t>(withPoints(run, digits, out) - out_);
        return true;
    }

    // No shift code is skipped here: the byte ahead belongs to the next data
    // run, which skips it itself unless it is packed or binary data.
    void literal(std::size_t start, std::size_t length) {
        if (trim_) {
            if (length == 1 && text_[start] == ',') return closeField(o_, inPlace_);  // the usual one
            for (std::size_t i = start; i < start + length; ++i) {
                if (text_[i] == ',') {
                    closeField(o_, inPlace_);
                } else {
                    out_[o_++] = static_cast<std::uint8_t>(text_[i]);
                    fieldText_ = true;
                }
            }
            scanned_ = o_;
            return;
        }
        // Mostly the comma between two fields: one byte needs no call.
        if (length == 1)
            out_[o_] = static_cast<std::uint8_t>(text_[start]);
        else
            std::memcpy(out_ + o_, text_.data() + start, length);
        o_ += length;
    }

    const RecordLayout& layout_;
    const std::string& text_;
    const std::uint8_t* src_;
    std::size_t n_;
    bool inputEnds_;
    const CodeTables& tables_;
    std::uint8_t* out_;
    std::vector<ConversionError>& errors_;
    std::size_t s_ = 0;
    std::size_t o_ = 0;
    RecordResult result_;

    bool trim_;
    field_trim::FieldTrimmer inPlace_;  // at a field's end: what follows is unwritten
    field_trim::FieldTrimmer moving_;   // inside a run's output: what follows stays
    std::size_t fieldStart_ = 0;  // where the field being written starts
    std::size_t scanned_ = 0;     // the output before it has been looked at for commas
    bool fieldText_ = false;      // the field holds more than numbers
    bool anyField_ = false;
    std::size_t loneCommas_ = 0;  // commas met before any field
};

}  // namespace

RecordResult convertRecord(const RecordLayout& layout, std::span<const std::uint8_t> source,
                           bool inputEnds, const CodeTables& tables, std::uint8_t* out,
                           std::vector<ConversionError>& errors, int trimFlags) {
    return Walk(layout, source, inputEnds, tables, out, errors, trimFlags).run();
}

}  // namespace velk::j2s
