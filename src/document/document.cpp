// Opening, reading, editing and the undo history of a document.
#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "document/state.h"
#include "files/journal.h"

namespace document {

using detail::BlockCache;
using detail::Node;
using detail::noNode;
using detail::Piece;

// --- State ---------------------------------------------------------------------------

Document::State::~State() = default;

void Document::State::apply(int64_t pos, int64_t count, Node inserted, std::optional<int64_t> cursor) {
    if (!stepStarted) {
        dropRedo();
        undo.push_back(Step{{}, stepCursor ? *stepCursor : cursor.value_or(pos), nextId++});
        stepStarted = stepOpen;
    }
    auto [before, rest] = tree.split(root, pos);
    auto [removed, after] = tree.split(rest, count);
    const int64_t length = tree.length(inserted);
    root = tree.join(tree.join(before, inserted), after);
    undo.back().records.push_back(Record{pos, length, removed});
    ++changes;
}

void Document::State::swap(Record& record) {
    auto [before, rest] = tree.split(root, record.position);
    auto [taken, after] = tree.split(rest, record.inserted);
    record.inserted = tree.length(record.removed);
    root = tree.join(tree.join(before, record.removed), after);
    record.removed = taken;
    ++changes;
}

void Document::State::dropRedo() {
    if (redo.empty()) return;
    for (Step& step : redo)
        for (Record& record : step.records) tree.release(record.removed);
    redo.clear();
    releaseUnusedSources();
}

void Document::State::releaseUnusedSources() {
    for (uint32_t i = 0; i < sources.size(); ++i)
        if (sources[i] && i != current && tree.references(i) == 0) {
            cache.forget(i);
            sources[i].reset();
        }
}

uint32_t Document::State::addSource(std::shared_ptr<detail::FileSource> file) {
    sources.push_back(std::move(file));
    return static_cast<uint32_t>(sources.size() - 1);
}

Piece Document::State::appendAdded(std::span<const uint8_t> bytes) {
    const Piece piece{detail::addedSource, static_cast<int64_t>(added.size()), static_cast<int64_t>(bytes.size())};
    added.insert(added.end(), bytes.begin(), bytes.end());
    return piece;
}

void Document::State::copyPiece(const Piece& piece, int64_t first, int64_t count, uint8_t* out) {
    if (piece.source == detail::addedSource) {
        std::memcpy(out, added.data() + piece.offset + first, static_cast<size_t>(count));
        return;
    }
    const detail::FileSource& file = *sources[piece.source];
    int64_t offset = piece.offset + first;
    if (count >= 2 * BlockCache::blockSize) {
        if (!file.read(offset, out, count)) readFailed = true;
        return;
    }
    while (count > 0) {
        const int64_t index = offset / BlockCache::blockSize, within = offset % BlockCache::blockSize;
        const int64_t n = std::min(count, BlockCache::blockSize - within);
        bool ok = true;
        const uint8_t* block = cache.block(file, piece.source, index, ok);
        // A block cut short by a file that shrank holds zeros there.
        if (!ok || offset + n > file.identity().size) readFailed = true;
        std::memcpy(out, block + within, static_cast<size_t>(n));
        out += n;
        offset += n;
        count -= n;
    }
}

void Document::State::gather(int64_t from, int64_t count, uint8_t* out) {
    tree.forEach(root, from, from + count, [&](const Piece& piece, int64_t first, int64_t n) {
        copyPiece(piece, first, n, out);
        out += n;
    });
}

// --- Document ------------------------------------------------------------------------

Document::Document() : s_(std::make_unique<State>()) {}
Document::Document(std::unique_ptr<State> state) : s_(std::move(state)) {}
Document::~Document() = default;
Document::Document(Document&&) noexcept = default;
Document& Document::operator=(Document&&) noexcept = default;

std::unique_ptr<Document> Document::open(const std::string& path, int& error) {
    f_FinishJournal(path);  // a save cut short by a crash is finished (or was never begun)
    auto file = detail::FileSource::open(path, error);
    if (!file) return nullptr;
    auto state = std::make_unique<State>();
    state->identity = file->identity();
    state->path = path;
    state->current = state->addSource(std::move(file));
    if (state->identity.size > 0) state->root = state->tree.make(Piece{state->current, 0, state->identity.size});
    return std::unique_ptr<Document>(new Document(std::move(state)));
}

const std::string& Document::path() const { return s_->path; }
int64_t Document::size() const { return s_->size(); }

uint8_t Document::byteAt(int64_t pos) {
    uint8_t byte = 0;
    read(pos, 1, &byte);
    return byte;
}

int64_t Document::read(int64_t pos, int64_t length, uint8_t* out) {
    if (pos < 0 || pos >= size() || length <= 0) return 0;
    length = std::min(length, size() - pos);
    s_->gather(pos, length, out);
    return length;
}

bool Document::overwrite(int64_t pos, uint8_t byte, std::optional<int64_t> cursor) {
    return replace(pos, 1, std::span<const uint8_t>(&byte, 1), cursor);
}

bool Document::insert(int64_t pos, std::span<const uint8_t> bytes, std::optional<int64_t> cursor) {
    return replace(pos, 0, bytes, cursor);
}

bool Document::erase(int64_t pos, int64_t count, std::optional<int64_t> cursor) {
    return replace(pos, count, {}, cursor);
}

bool Document::replace(int64_t pos, int64_t count, std::span<const uint8_t> bytes, std::optional<int64_t> cursor) {
    if (pos < 0 || count < 0 || pos > size() || count > size() - pos) return false;
    if (count == 0 && bytes.empty()) return true;
    const Node inserted = bytes.empty() ? noNode : s_->tree.make(s_->appendAdded(bytes));
    s_->apply(pos, count, inserted, cursor);
    return true;
}

void Document::beginStep(std::optional<int64_t> cursor) {
    endStep();
    s_->stepOpen = true;
    s_->stepCursor = cursor;
}

void Document::endStep() {
    s_->stepOpen = false;
    s_->stepStarted = false;
    s_->stepCursor.reset();
}

std::optional<int64_t> Document::undo() {
    endStep();
    if (s_->undo.empty()) return std::nullopt;
    State::Step step = std::move(s_->undo.back());
    s_->undo.pop_back();
    for (auto record = step.records.rbegin(); record != step.records.rend(); ++record) s_->swap(*record);
    const int64_t cursor = step.cursor;
    s_->redo.push_back(std::move(step));
    return cursor;
}

std::optional<int64_t> Document::redo() {
    endStep();
    if (s_->redo.empty()) return std::nullopt;
    State::Step step = std::move(s_->redo.back());
    s_->redo.pop_back();
    for (State::Record& record : step.records) s_->swap(record);
    const int64_t cursor = step.cursor;
    s_->undo.push_back(std::move(step));
    return cursor;
}

bool Document::canUndo() const { return !s_->undo.empty(); }
bool Document::canRedo() const { return !s_->redo.empty(); }
bool Document::isModified() const { return s_->currentId() != s_->savedId; }
void Document::markSaved() { s_->savedId = s_->currentId(); }

bool Document::changedOnDisk() const {
    for (const auto& source : s_->sources) {
        struct stat info {};
        if (source && !source->isStore() && ::fstat(source->fd(), &info) == 0 && info.st_size < source->identity().size)
            return true;
    }
    if (s_->path.empty()) return false;
    struct stat info {};
    if (::stat(s_->path.c_str(), &info) != 0) return true;
    return !(f_IdentityOf(info) == s_->identity);
}

bool Document::readFailed() const { return s_->readFailed; }
uint64_t Document::changes() const { return s_->changes; }

}  // namespace document
