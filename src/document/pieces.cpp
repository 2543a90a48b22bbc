#include "document/pieces.h"

namespace document::detail {

uint32_t PieceTree::random() {
    // xorshift64*: fast, and good enough for treap priorities.
    seed_ ^= seed_ >> 12;
    seed_ ^= seed_ << 25;
    seed_ ^= seed_ >> 27;
    return static_cast<uint32_t>((seed_ * 0x2545F4914F6CDD1Dull) >> 32);
}

Node PieceTree::make(const Piece& piece) {
    Node t;
    if (!free_.empty()) {
        t = free_.back();
        free_.pop_back();
    } else {
        t = static_cast<Node>(nodes_.size());
        nodes_.emplace_back();
    }
    nodes_[t] = NodeData{piece.offset, piece.length, piece.length, noNode, noNode, random(), piece.source};
    if (piece.source != addedSource) {
        if (piece.source >= references_.size()) references_.resize(piece.source + 1, 0);
        ++references_[piece.source];
    }
    return t;
}

void PieceTree::release(Node subtree) {
    // An explicit stack: a released subtree may be deep in unlucky cases.
    std::vector<Node> pending;
    if (subtree != noNode) pending.push_back(subtree);
    while (!pending.empty()) {
        Node t = pending.back();
        pending.pop_back();
        const NodeData& n = nodes_[t];
        if (n.left != noNode) pending.push_back(n.left);
        if (n.right != noNode) pending.push_back(n.right);
        if (n.source != addedSource) --references_[n.source];
        free_.push_back(t);
    }
}

std::pair<Node, Node> PieceTree::split(Node t, int64_t pos) {
    if (t == noNode) return {noNode, noNode};
    const int64_t before = length(nodes_[t].left);
    if (pos <= before) {
        // Merged, not hung under t: b may hold the new node of a cut piece, whose priority
        // may be above t's.
        auto [a, b] = split(nodes_[t].left, pos);
        nodes_[t].left = noNode;
        update(t);
        return {a, merge(b, t)};
    }
    if (pos >= before + nodes_[t].length) {
        auto [a, b] = split(nodes_[t].right, pos - before - nodes_[t].length);
        nodes_[t].right = a;
        update(t);
        return {t, b};
    }
    // The cut runs through this node's piece: its second part becomes a node of its own.
    const int64_t cut = pos - before;
    const Node second =
        make(Piece{nodes_[t].source, nodes_[t].offset + cut, nodes_[t].length - cut});  // may move nodes_
    const Node right = nodes_[t].right;
    nodes_[t].length = cut;
    nodes_[t].right = noNode;
    update(t);
    return {t, merge(second, right)};
}

Node PieceTree::merge(Node a, Node b) {
    if (a == noNode) return b;
    if (b == noNode) return a;
    if (nodes_[a].priority > nodes_[b].priority) {
        const Node right = merge(nodes_[a].right, b);
        nodes_[a].right = right;
        update(a);
        return a;
    }
    const Node left = merge(a, nodes_[b].left);
    nodes_[b].left = left;
    update(b);
    return b;
}

Node PieceTree::removeFirst(Node t) {
    if (nodes_[t].left == noNode) {
        const Node right = nodes_[t].right;
        nodes_[t].right = noNode;
        release(t);
        return right;
    }
    const Node left = removeFirst(nodes_[t].left);
    nodes_[t].left = left;
    update(t);
    return t;
}

void PieceTree::extendLast(Node t, int64_t by) {
    for (;;) {
        nodes_[t].total += by;
        if (nodes_[t].right == noNode) break;
        t = nodes_[t].right;
    }
    nodes_[t].length += by;
}

Node PieceTree::join(Node a, Node b) {
    if (a == noNode) return b;
    if (b == noNode) return a;
    Node last = a, first = b;
    while (nodes_[last].right != noNode) last = nodes_[last].right;
    while (nodes_[first].left != noNode) first = nodes_[first].left;
    const NodeData &x = nodes_[last], &y = nodes_[first];
    if (x.source == y.source && x.offset + x.length == y.offset) {
        // Keeps the pieces few: typing a run of bytes, or undoing a cut, leaves one piece.
        const int64_t by = y.length;
        b = removeFirst(b);
        extendLast(a, by);
    }
    return merge(a, b);
}

Node PieceTree::build(std::span<const Piece> pieces) {
    // A Cartesian tree by priority over the pieces in order: each new node takes the nodes
    // of lower priority from the top of the right spine as its left subtree.
    std::vector<Node> spine;
    for (const Piece& piece : pieces) {
        if (piece.length <= 0) continue;
        const Node t = make(piece);
        Node last = noNode;
        while (!spine.empty() && nodes_[spine.back()].priority < nodes_[t].priority) {
            last = spine.back();
            spine.pop_back();
        }
        nodes_[t].left = last;
        if (!spine.empty()) nodes_[spine.back()].right = t;
        spine.push_back(t);
    }
    if (spine.empty()) return noNode;
    // Subtree lengths, children before parents: in a Cartesian tree every node's children
    // have lower priority, so sorting by priority would do; a post-order walk is cheaper.
    std::vector<std::pair<Node, bool>> pending{{spine.front(), false}};
    while (!pending.empty()) {
        auto [t, childrenDone] = pending.back();
        pending.pop_back();
        if (childrenDone) {
            update(t);
            continue;
        }
        pending.push_back({t, true});
        if (nodes_[t].left != noNode) pending.push_back({nodes_[t].left, false});
        if (nodes_[t].right != noNode) pending.push_back({nodes_[t].right, false});
    }
    return spine.front();
}

}  // namespace document::detail
