// Which bytes of a document are changes: those not read from the file it was last opened
// from or saved to.
#include <algorithm>
#include <cstring>

#include "document/state.h"

namespace document {

int64_t Document::changedBytes(int64_t pos, int64_t length, uint8_t* marks) const {
    if (pos < 0 || pos >= size() || length <= 0) return 0;
    length = std::min(length, size() - pos);
    uint8_t* out = marks;
    s_->tree.forEach(s_->root, pos, pos + length, [&](const detail::Piece& piece, int64_t, int64_t count) {
        // Without a file (current names the added bytes then) every byte is a change.
        const bool changed = piece.source == detail::addedSource || piece.source != s_->current;
        std::memset(out, changed ? 1 : 0, static_cast<size_t>(count));
        out += count;
    });
    return length;
}

}  // namespace document
