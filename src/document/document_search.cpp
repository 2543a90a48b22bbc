// Searching a document and changing every occurrence in one pass.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "document/file_scan.h"
#include "document/search_algorithms.h"
#include "document/state.h"

namespace document {

using detail::Node;
using detail::noNode;
using detail::Piece;

namespace {

// Whether a hole, which reads as zeros, can hold the pattern: only a pattern of nothing but
// what a zero byte compares as (0, or '@' folded).
bool fitsInHole(std::span<const uint8_t> pattern, bool folded) {
    const uint8_t zero = folded ? search::foldTable()[0] : 0;
    return std::all_of(pattern.begin(), pattern.end(), [zero](uint8_t b) { return b == zero; });
}

// Finds occurrences front to back through a window of the content. Where a large piece of a
// file lies unchanged, its holes are stepped over (a pattern that holds a byte a zero cannot
// be lies wholly in no hole) and its data, when the page cache holds it, is read in place
// through a mapping; elsewhere the window is a copy of the content read in large blocks.
// Consecutive windows overlap by the pattern's length − 1, so a match across any edge (of a
// piece, a block, a hole) is seen whole in one of them. The window is kept between calls, so
// finding a million nearby occurrences reads the content once (nothing is added to the
// document while a scanner lives, so a window into the added bytes stays valid).
class Scanner {
public:
    static constexpr int64_t blockSize = 1 << 20;     // a copied window
    static constexpr int64_t largePiece = 256 << 10;  // read in place from this length on
    static constexpr int64_t inPlaceSize = 64 << 20;  // an in-place window, one progress report

    Scanner(Document::State& state, std::span<const uint8_t> pattern, bool folded, int64_t start,
            const Progress& progress)
        : state_(state),
          pattern_(pattern),
          folded_(folded),
          fitsInHole_(fitsInHole(pattern, folded)),
          start_(start),
          progress_(progress) {}

    // The first occurrence at or after from, or −1.
    int64_t next(int64_t from) {
        const int64_t n = static_cast<int64_t>(pattern_.size()), size = state_.size();
        if (n == 0 || from < 0) return -1;
        while (from + n <= size) {
            if (from < windowStart_ || from + n > windowEnd_) fill(from);
            const int64_t at = find(from);
            if (at >= 0) return at;
            if (windowEnd_ >= size) break;
            from = windowEnd_ - n + 1;  // every start before this was looked at
        }
        return -1;
    }

private:
    int64_t find(int64_t from) {
        // In a hole every start reads zeros.
        if (window_ == nullptr) return fitsInHole_ ? from : -1;
        const std::span<const uint8_t> window(window_, static_cast<size_t>(windowEnd_ - windowStart_));
        std::optional<detail::MappedRange::Reading> reading;
        if (inPlace_) reading.emplace(mapped_);
        const int64_t at = folded_ ? search::findFolded(window, pattern_, from - windowStart_)
                                   : search::findExact(window, pattern_, from - windowStart_);
        if (inPlace_ && mapped_.faulted()) state_.readFailed = true;
        return at >= 0 ? windowStart_ + at : -1;
    }

    void fill(int64_t from) {
        const int64_t n = static_cast<int64_t>(pattern_.size()), size = state_.size();
        Piece piece{};
        int64_t within = 0;
        state_.tree.forEach(state_.root, from, from + 1, [&](const Piece& p, int64_t first, int64_t) {
            piece = p;
            within = first;
        });
        // Where the copied window stops taking starts: at the next thing read in place.
        int64_t stop = INT64_MAX;
        if (piece.length < largePiece) {
            stop = nextLargePiece(from);
        } else if (piece.source == detail::addedSource) {
            stop = std::min(from - within + piece.length, from + inPlaceSize);
            if (from + n <= stop) return show(from, stop, state_.added.data() + piece.offset + within);
        } else {
            const detail::FileSource& file = *state_.sources[piece.source];
            const int64_t offset = piece.offset + within;
            const int64_t end = piece.offset + piece.length;
            // The run found last is asked again only once the scan has passed it: within one
            // large piece every copied window would cost its seeks (and on a fragmented sparse
            // file a walk of up to inPlaceSize) otherwise.
            if (piece.source != runSource_ || offset < runStart_ || offset + n > run_.end) {
                run_ = detail::fileRunAt(file.fd(), offset, end, std::min(end, offset + inPlaceSize));
                runSource_ = piece.source;
                runStart_ = offset;
            }
            detail::FileRun run = run_;
            run.end = std::min(run.end, end);  // an earlier piece of the same file may reach further
            if (run.ended) state_.readFailed = true;
            stop = from + (run.end - offset);
            if (from + n <= stop && (run.hole || run.ended)) return show(from, stop, nullptr);
            if (from + n <= stop && from >= copyUntil_) {
                if (mapped_.map(file.fd(), offset, stop - from)) return show(from, stop, mapped_.data(), true);
                copyUntil_ = stop;  // not to be mapped: copied in blocks up to here
            }
        }
        int64_t end = std::min(size, from + std::max(blockSize, n) + n - 1);
        if (stop < end - n + 1) end = stop + n - 1;
        buffer_.resize(static_cast<size_t>(end - from));
        state_.gather(from, end - from, buffer_.data());
        show(from, end, buffer_.data());
    }

    // The start of the first large piece after the one at from, within a copied window's reach.
    int64_t nextLargePiece(int64_t from) {
        const int64_t n = static_cast<int64_t>(pattern_.size());
        int64_t at = from, found = INT64_MAX;
        state_.tree.forEach(state_.root, from, std::min(state_.size(), from + std::max(blockSize, n) + n - 1),
                            [&](const Piece& p, int64_t first, int64_t count) {
                                if (found == INT64_MAX && at > from && first == 0 && p.length >= largePiece) found = at;
                                at += count;
                            });
        return found;
    }

    void show(int64_t from, int64_t end, const uint8_t* window, bool inPlace = false) {
        if (!inPlace) mapped_.unmap();
        window_ = window;
        inPlace_ = inPlace;
        windowStart_ = from;
        windowEnd_ = end;
        if (progress_) progress_(end - start_, state_.size() - start_);
    }

    Document::State& state_;
    std::span<const uint8_t> pattern_;
    bool folded_, fitsInHole_;
    int64_t start_;
    const Progress& progress_;
    std::vector<uint8_t> buffer_;
    detail::MappedRange mapped_;
    const uint8_t* window_ = nullptr;  // null over a hole
    bool inPlace_ = false;             // the window is mapped_
    int64_t windowStart_ = 0, windowEnd_ = 0;
    int64_t copyUntil_ = 0;
    // The run of a file the last window lay in: its source, where it was asked for, what it is.
    uint32_t runSource_ = detail::addedSource;
    int64_t runStart_ = 0;
    detail::FileRun run_;
};

// Walks a sequence of pieces front to back handing out the pieces of consecutive ranges.
class PieceReader {
public:
    PieceReader(const std::vector<Piece>& pieces, std::vector<Piece>& out) : pieces_(pieces), out_(out) {}
    // Appends the pieces of the next count bytes to out.
    void take(int64_t count) {
        while (count > 0) {
            const Piece& p = pieces_[index_];
            const int64_t n = std::min(count, p.length - within_);
            out_.push_back(Piece{p.source, p.offset + within_, n});
            count -= n;
            within_ += n;
            if (within_ == p.length) {
                ++index_;
                within_ = 0;
            }
        }
    }
    void skip(int64_t count) {
        while (count > 0) {
            const int64_t n = std::min(count, pieces_[index_].length - within_);
            count -= n;
            within_ += n;
            if (within_ == pieces_[index_].length) {
                ++index_;
                within_ = 0;
            }
        }
    }

private:
    const std::vector<Piece>& pieces_;
    std::vector<Piece>& out_;
    size_t index_ = 0;
    int64_t within_ = 0;
};

}  // namespace

int64_t Document::findExact(std::span<const uint8_t> pattern, int64_t from, const Progress& progress) {
    from = std::max<int64_t>(from, 0);
    return Scanner(*s_, pattern, false, from, progress).next(from);
}

int64_t Document::findFolded(std::span<const uint8_t> foldedPattern, int64_t from, const Progress& progress) {
    from = std::max<int64_t>(from, 0);
    return Scanner(*s_, foldedPattern, true, from, progress).next(from);
}

ChangeAllResult Document::changeAll(int64_t first, std::span<const uint8_t> pattern,
                                    std::span<const uint8_t> replacement, bool insertMode,
                                    std::optional<int64_t> cursor, const Progress& progress) {
    const int64_t n = static_cast<int64_t>(pattern.size()), m = static_cast<int64_t>(replacement.size());
    if (n == 0 || first < 0 || first > size() - n || (!insertMode && n != m)) return {};

    // Where the pattern stands in the content as it is: the first place as given, then each
    // next one found after the bytes that the change before put there.
    std::vector<int64_t> places{first};
    Scanner scanner(*s_, pattern, false, first, progress);
    for (int64_t at = scanner.next(first + n); at >= 0; at = scanner.next(at + n)) {
        if (static_cast<int64_t>(places.size()) == ChangeAllResult::mostChanges) return {0, -1, true};
        places.push_back(at);
    }

    // The new pieces of the changed range: the bytes between the places as they were, and
    // one stored copy of the replacement at every place.
    const int64_t end = places.back() + n;
    std::vector<Piece> oldPieces;
    s_->tree.forEach(s_->root, first, end, [&](const Piece& p, int64_t offset, int64_t count) {
        oldPieces.push_back(Piece{p.source, p.offset + offset, count});
    });
    const Piece stored = s_->appendAdded(replacement);
    std::vector<Piece> pieces;
    pieces.reserve(2 * places.size() + 1);
    PieceReader reader(oldPieces, pieces);
    int64_t done = first;
    for (int64_t place : places) {
        reader.take(place - done);
        reader.skip(n);
        if (m > 0) pieces.push_back(stored);
        done = place + n;
    }
    const Node changed = s_->tree.build(pieces);
    s_->apply(first, end - first, changed, cursor);

    const auto count = static_cast<int64_t>(places.size());
    // Each change shifts the later ones by m − n.
    return {count, places.back() + (count - 1) * (m - n)};
}

}  // namespace document
