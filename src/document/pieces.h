// The sequence of pieces that makes up a document's content.
//
// The pieces are kept in a treap (a binary search tree by position whose nodes also obey a
// heap order of random priorities), each node holding the length of its subtree. Why this
// shape: finding a position, cutting the sequence in two at a position and joining two
// sequences each take O(log n) expected time, so a one-byte overwrite, insert or delete
// costs a few dozen node visits even with millions of pieces; a whole run of pieces is cut
// out or put back in O(log n) without touching its nodes, which is what undo and redo do
// with the history's detached subtrees (undoing a change of a million places moves one
// subtree); and a sorted run of n pieces is built into a tree in O(n) (change all). A flat
// array would move every later piece on each keystroke; a B-tree would pack nodes tighter
// but makes cutting and joining much more code.
//
// Nodes live in one pool and link by 32-bit index, which keeps them small (40 bytes) and
// lets the history hold subtrees that still belong to the pool.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace document::detail {

// The source that a piece's bytes come from: an index into the document's file sources,
// or the added bytes.
constexpr uint32_t addedSource = 0xFFFFFFFFu;
constexpr uint32_t noNode = 0xFFFFFFFFu;
using Node = uint32_t;

struct Piece {
    uint32_t source;
    int64_t offset;  // where the piece starts in its source
    int64_t length;
};

class PieceTree {
public:
    // How many nodes of the pool (in the tree or in detached subtrees) refer to a file source.
    int64_t references(uint32_t source) const { return source < references_.size() ? references_[source] : 0; }

    Node make(const Piece& piece);
    // Returns every node of a subtree to the pool.
    void release(Node subtree);
    int64_t length(Node t) const { return t == noNode ? 0 : nodes_[t].total; }
    Piece piece(Node t) const { return {nodes_[t].source, nodes_[t].offset, nodes_[t].length}; }

    // Cuts a sequence into the first pos bytes and the rest (a piece across pos is cut in two).
    std::pair<Node, Node> split(Node t, int64_t pos);
    // The sequence a followed by b; two pieces that meet and continue each other in their
    // source become one.
    Node join(Node a, Node b);
    // A tree of the pieces in order, in linear time.
    Node build(std::span<const Piece> pieces);

    // Empty when the pool is sound for these roots: every node in use lies in exactly one of
    // the subtrees (none twice, none lost), lengths add up, priorities keep the heap order,
    // and the references count the nodes of each source; else what is wrong. Each piece is
    // also shown to check, whose complaint ends the walk.
    std::string check(std::span<const Node> roots, const std::function<std::string(const Piece&)>& piece) const;

    // Calls f(piece, first, count) for the part of each piece that lies in [from, to), in
    // order; first is the offset of that part inside the piece.
    template <class F>
    void forEach(Node t, int64_t from, int64_t to, F&& f) const {
        visit(t, 0, from, to, f);
    }

private:
    struct NodeData {
        int64_t offset;
        int64_t length;
        int64_t total;  // bytes in the subtree
        uint32_t left, right, priority, source;
    };

    template <class F>
    void visit(Node t, int64_t base, int64_t from, int64_t to, F& f) const {
        while (t != noNode && from < to) {
            const NodeData& n = nodes_[t];
            const int64_t start = base + length(n.left), end = start + n.length;
            if (from < start) visit(n.left, base, from, to, f);
            if (from < end && to > start) {
                const int64_t a = from > start ? from : start, b = to < end ? to : end;
                f(Piece{n.source, n.offset, n.length}, a - start, b - a);
            }
            if (to <= end) return;
            t = n.right;  // the right subtree without recursion: long runs stay flat
            base = end;
        }
    }

    void update(Node t) { nodes_[t].total = length(nodes_[t].left) + nodes_[t].length + length(nodes_[t].right); }
    Node merge(Node a, Node b);
    Node removeFirst(Node t);
    void extendLast(Node t, int64_t by);
    uint32_t random();

    std::vector<NodeData> nodes_;
    std::vector<Node> free_;
    std::vector<int64_t> references_;
    uint64_t seed_ = 0x9E3779B97F4A7C15ull;
};

}  // namespace document::detail
