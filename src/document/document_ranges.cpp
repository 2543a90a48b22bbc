// Edits of whole ranges of bytes that are made as pieces rather than as copies.
#include <algorithm>

#include "document/state.h"

namespace document {
namespace {

// The length of the block a fill stores: about a thousandth of the range, between 64 KiB and
// 16 MiB, so that a fill of up to 16 GiB takes about a thousand pieces and a larger one
// stays within 16 MiB of memory; whole patterns, so that every piece starts with the pattern.
int64_t fillBlockLength(int64_t count, int64_t patternLength) {
    constexpr int64_t smallest = int64_t(64) << 10, largest = int64_t(16) << 20;
    const int64_t length = std::min(count, std::clamp(count / 1024, smallest, largest));
    return (length + patternLength - 1) / patternLength * patternLength;
}

}  // namespace

bool Document::fill(int64_t pos, int64_t count, std::span<const uint8_t> pattern, std::optional<int64_t> cursor) {
    if (pos < 0 || count < 0 || pos > size() || count > size() - pos || pattern.empty()) return false;
    if (count == 0) return true;
    const auto patternLength = static_cast<int64_t>(pattern.size());
    const int64_t block = fillBlockLength(count, patternLength);
    const auto offset = static_cast<int64_t>(s_->added.size());
    s_->added.resize(static_cast<size_t>(offset + block));
    for (int64_t i = 0; i < block; ++i)
        s_->added[static_cast<size_t>(offset + i)] = pattern[static_cast<size_t>(i % patternLength)];
    std::vector<detail::Piece> pieces;
    pieces.reserve(static_cast<size_t>(count / block + 1));
    for (int64_t done = 0; done < count; done += block)
        pieces.push_back({detail::addedSource, offset, std::min(block, count - done)});
    s_->apply(pos, count, s_->tree.build(pieces), cursor);
    return true;
}

}  // namespace document
