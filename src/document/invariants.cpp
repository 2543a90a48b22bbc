// The checks of a document's invariants, which tests and the fuzz target run after every
// operation.
#include <fcntl.h>

#include <algorithm>
#include <set>

#include "document/state.h"

namespace document {

using detail::addedSource;
using detail::Node;
using detail::noNode;
using detail::Piece;

std::string detail::PieceTree::check(std::span<const Node> roots,
                                     const std::function<std::string(const Piece&)>& piece) const {
    enum : uint8_t { unseen, unused, used };
    std::vector<uint8_t> seen(nodes_.size(), unseen);
    for (const Node t : free_) {
        if (t >= nodes_.size() || seen[t] != unseen) return "the free list holds a node twice or one outside the pool";
        seen[t] = unused;
    }
    std::vector<int64_t> counted(references_.size(), 0);
    std::vector<Node> pending;
    for (const Node root : roots) {
        if (root != noNode) pending.push_back(root);
        while (!pending.empty()) {
            const Node t = pending.back();
            pending.pop_back();
            if (t >= nodes_.size()) return "a node outside the pool";
            if (seen[t] != unseen) return seen[t] == unused ? "a node in use is free" : "a node is in two places";
            seen[t] = used;
            const NodeData& n = nodes_[t];
            for (const Node child : {n.left, n.right}) {
                if (child == noNode) continue;
                if (child >= nodes_.size()) return "a node outside the pool";
                if (nodes_[child].priority > n.priority) return "a node's priority is above its parent's";
                pending.push_back(child);
            }
            if (n.length <= 0 || n.total != length(n.left) + n.length + length(n.right))
                return "a piece is empty or a subtree's length is wrong";
            if (n.source != addedSource && n.source >= counted.size()) return "a source has no reference count";
            if (n.source != addedSource) ++counted[n.source];
            if (std::string complaint = piece(Piece{n.source, n.offset, n.length}); !complaint.empty())
                return complaint;
        }
    }
    if (std::find(seen.begin(), seen.end(), unseen) != seen.end())
        return "a node is neither in the content, nor in the history, nor free";
    if (counted != references_) return "the reference counts differ from the pieces";
    return {};
}

std::string Document::checkInvariants() const {
    const State& s = *s_;
    std::vector<Node> roots{s.root};
    uint64_t lastId = 0;
    for (const auto* steps : {&s.undo, &s.redo}) {
        for (const State::Step& step : *steps) {
            for (const State::Record& record : step.records) roots.push_back(record.removed);
            if (step.id >= s.nextId || (steps == &s.undo && step.id <= lastId))
                return "the steps' ids are out of order";
            lastId = step.id;
        }
    }
    std::string problem = s.tree.check(roots, [&](const Piece& p) -> std::string {
        if (p.source == addedSource)
            return p.offset >= 0 && p.offset + p.length <= static_cast<int64_t>(s.added.size())
                       ? ""
                       : "a piece lies beyond the added bytes";
        if (p.source >= s.sources.size() || !s.sources[p.source]) return "a piece refers to a file let go";
        if (p.offset < 0 || p.offset + p.length > s.sources[p.source]->identity().size)
            return "a piece lies beyond what its file held";
        return "";
    });
    if (!problem.empty()) return problem;
    std::set<int> descriptors;
    for (uint32_t i = 0; i < s.sources.size(); ++i) {
        if (!s.sources[i]) continue;
        if (i != s.current && s.tree.references(i) == 0) return "a file is open that nothing refers to";
        if (::fcntl(s.sources[i]->fd(), F_GETFD) < 0 || !descriptors.insert(s.sources[i]->fd()).second)
            return "a file's descriptor is closed or shared";
    }
    if (s.current != addedSource && (s.current >= s.sources.size() || !s.sources[s.current] ||
                                     s.sources[s.current]->isStore() || s.sources[s.current]->identity().inode == 0))
        return "the current file is not open or not known";
    if (!s.path.empty() && s.current == addedSource) return "the document is bound to a file it does not read";
    if (s.storedInMemory > static_cast<int64_t>(s.added.size())) return "the store holds more than the added bytes";
    if (s.stepStarted && (!s.stepOpen || s.undo.empty())) return "a step is started but not open";
    if (s.savedId >= s.nextId) return "the saved state is unknown";
    return {};
}

}  // namespace document
