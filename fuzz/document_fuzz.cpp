// The document engine fed any sequence of operations: edits inside and outside the content,
// fills and erasures of whole ranges, steps, undo and redo, change all, finds, reads, saves
// with a switch to the saved file, and fresh opens. After every operation the content equals a flat copy kept beside
// it, and the document is unmodified exactly when the copy is in its last saved state.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>

#include "app/log.h"
#include "document/document.h"
#include "document/save.h"
#include "document/search_algorithms.h"
#include "fuzz/fuzz_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

// The folder of this process's files, made once; each input starts with it empty.
struct Folder {
    std::string path;
    Folder() {
        kt::setLogStream(std::fopen("/dev/null", "w"));  // the log lines of saves in place
        // A memory file system where there is one: saves sync, and a disk makes that slow.
        path = (::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + std::string("/docfuzz-XXXXXX");
        FUZZ_CHECK(::mkdtemp(path.data()) != nullptr);
        std::atexit([] {
            instance().empty();
            ::rmdir(instance().path.c_str());
        });
    }
    // Never destroyed: the exit handler above runs after the statics are gone and still reads
    // the path.
    static const Folder& instance() {
        static const Folder* folder = new Folder;
        return *folder;
    }
    void empty() const {
        ::unlink((path + "/source").c_str());
        ::unlink((path + "/saved").c_str());
        ::unlink((path + "/saved-link").c_str());
    }
};

int64_t naiveFind(const Bytes& data, const Bytes& pattern, int64_t from, bool folded) {
    const auto& fold = document::search::foldTable();
    const auto n = static_cast<int64_t>(pattern.size()), size = static_cast<int64_t>(data.size());
    for (int64_t p = std::max<int64_t>(from, 0); n > 0 && p + n <= size; ++p) {
        int64_t k = 0;
        while (k < n && (folded ? fold[data[p + k]] : data[p + k]) == pattern[k]) ++k;
        if (k == n) return p;
    }
    return -1;
}

struct Model {
    struct Entry {
        Bytes bytes;
        uint64_t id;
        int64_t cursor;
    };
    Bytes bytes, saved;
    std::vector<Entry> undo, redo;
    uint64_t id = 0, savedId = 0, nextId = 1;
    bool stepOpen = false, stepStarted = false;
    std::optional<int64_t> stepCursor;

    void edit(int64_t cursor) {
        if (stepStarted) return;
        undo.push_back({bytes, id, stepCursor ? *stepCursor : cursor});
        redo.clear();
        id = nextId++;
        stepStarted = stepOpen;
    }
    void endStep() {
        stepOpen = stepStarted = false;
        stepCursor.reset();
    }
    std::optional<int64_t> move(std::vector<Entry>& from, std::vector<Entry>& to) {
        endStep();
        if (from.empty()) return std::nullopt;
        Entry e = std::move(from.back());
        from.pop_back();
        to.push_back({bytes, id, e.cursor});
        bytes = std::move(e.bytes);
        id = e.id;
        return e.cursor;
    }
    void markSaved() {
        savedId = id;
        saved = bytes;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input in(data, size);
    // Half the inputs keep the history's bytes of replaced files in a file rather than in memory.
    document::Document::setStoreMemoryLimit(size % 2 ? 0 : int64_t{16} << 20);
    const Folder& folder = Folder::instance();
    folder.empty();
    const std::string source = folder.path + "/source", saved = folder.path + "/saved";
    Model model;
    std::unique_ptr<document::Document> doc;
    if (in.byte() % 2 == 0) {
        doc = std::make_unique<document::Document>();
    } else {
        model.bytes = in.bytes(in.byte());
        FILE* f = std::fopen(source.c_str(), "wb");
        FUZZ_CHECK(f && (model.bytes.empty() ||
                         std::fwrite(model.bytes.data(), 1, model.bytes.size(), f) == model.bytes.size()));
        std::fclose(f);
        int error = 0;
        doc = document::Document::open(source, error);
        FUZZ_CHECK(doc && error == 0);
    }
    model.markSaved();

    for (int steps = 0; !in.empty() && steps < 200; ++steps) {
        const int64_t length = static_cast<int64_t>(model.bytes.size());
        const int op = in.byte() % 13;
        // Positions up to one past the end, so that refused edits are tried too.
        const int64_t pos = in.byte() % (length + 2);
        const auto cursor = in.byte() % 2 ? std::optional<int64_t>(in.byte()) : std::nullopt;
        if (op <= 3) {  // overwrite, insert, erase, replace
            const int64_t count = op == 0 ? 1 : op == 1 ? 0 : in.byte() % 5;
            Bytes bytes = op == 0 ? Bytes{in.byte()} : op == 2 ? Bytes{} : in.bytes(in.byte() % 6);
            const bool fits = pos + count <= length;
            bool done = false;
            if (op == 0) done = doc->overwrite(pos, bytes[0], cursor);
            if (op == 1) done = doc->insert(pos, bytes, cursor);
            if (op == 2) done = doc->erase(pos, count, cursor);
            if (op == 3) done = doc->replace(pos, count, bytes, cursor);
            FUZZ_CHECK(done == fits);
            if (fits && (count > 0 || !bytes.empty())) {
                model.edit(cursor.value_or(pos));
                model.bytes.erase(model.bytes.begin() + pos, model.bytes.begin() + pos + count);
                model.bytes.insert(model.bytes.begin() + pos, bytes.begin(), bytes.end());
            }
        } else if (op == 4) {
            FUZZ_CHECK(doc->undo() == model.move(model.undo, model.redo));
        } else if (op == 5) {
            FUZZ_CHECK(doc->redo() == model.move(model.redo, model.undo));
        } else if (op == 6 && length <= 4096) {  // change all as the editor's loop does it
            // (Repeated change alls that grow the content would grow it exponentially; the
            // flat copy's loop is quadratic, so the content is kept small for it.)
            const Bytes pattern = in.bytes(1 + in.byte() % 3);
            const bool insert = in.byte() % 2 == 0;
            const Bytes change = insert ? in.bytes(in.byte() % 4) : in.bytes(pattern.size());
            const auto n = static_cast<int64_t>(pattern.size()), m = static_cast<int64_t>(change.size());
            const auto got = doc->changeAll(pos, pattern, change, insert, cursor);
            document::ChangeAllResult want;
            if (n > 0 && pos + n <= length && (insert || n == m)) {
                model.edit(cursor.value_or(pos));
                for (int64_t p = pos; p >= 0; p = naiveFind(model.bytes, pattern, p + m, false)) {
                    model.bytes.erase(model.bytes.begin() + p, model.bytes.begin() + p + n);
                    model.bytes.insert(model.bytes.begin() + p, change.begin(), change.end());
                    ++want.changes;
                    want.lastChange = p;
                }
            }
            FUZZ_CHECK(got.changes == want.changes && got.lastChange == want.lastChange);
        } else if (op == 7 || op == 8) {  // find
            const Bytes pattern = in.bytes(in.byte() % 4);
            const bool folded = op == 8;
            const int64_t want = naiveFind(model.bytes, pattern, pos, folded);
            FUZZ_CHECK((folded ? doc->findFolded(pattern, pos) : doc->findExact(pattern, pos)) == want);
        } else if (op == 9) {  // save, or open the saved file afresh
            if (in.byte() % 4 != 0 || doc->path() != saved) {
                FUZZ_CHECK(document::saveDocument(*doc, saved) == 0);
                model.endStep();
                model.markSaved();
                // A third of the inputs give the saved file a second name: later saves write it in place.
                if (size % 3 == 0) ::link(saved.c_str(), (saved + "-link").c_str());
            } else {
                int error = 0;
                doc = document::Document::open(saved, error);
                FUZZ_CHECK(doc && error == 0);
                const Bytes onDisk = model.saved;
                model = Model{};
                model.bytes = model.saved = onDisk;
            }
        } else if (op == 10) {  // open or close a step
            if (in.byte() % 2) {
                doc->beginStep(cursor);
                model.endStep();
                model.stepOpen = true;
                model.stepCursor = cursor;
            } else {
                doc->endStep();
                model.endStep();
            }
        } else if (op == 12) {  // fill or erase a range of any length
            const int64_t count = length + 2 > pos ? in.byte() % (length + 2 - pos) : 0;
            const Bytes pattern = in.byte() % 2 ? in.bytes(in.byte() % 5) : Bytes{};
            const bool fits = pos + count <= length;
            const bool done = pattern.empty() ? doc->erase(pos, count, cursor) : doc->fill(pos, count, pattern, cursor);
            FUZZ_CHECK(done == fits);
            if (fits && count > 0) {
                model.edit(cursor.value_or(pos));
                for (int64_t i = 0; i < count; ++i)
                    if (!pattern.empty()) model.bytes[pos + i] = pattern[i % pattern.size()];
                if (pattern.empty()) model.bytes.erase(model.bytes.begin() + pos, model.bytes.begin() + pos + count);
            }
        } else {  // a read from anywhere, and one byte
            Bytes out(16, 0xEE);
            const int64_t n = doc->read(pos, 16, out.data());
            FUZZ_CHECK(n == std::clamp<int64_t>(length - pos, 0, 16));
            FUZZ_CHECK(std::equal(out.begin(), out.begin() + n, model.bytes.begin() + std::min(pos, length)));
            FUZZ_CHECK(doc->byteAt(pos) == (pos < length ? model.bytes[pos] : 0));
        }
        Bytes all(model.bytes.size());
        FUZZ_CHECK(doc->size() == static_cast<int64_t>(all.size()));
        FUZZ_CHECK(doc->read(0, doc->size(), all.data()) == doc->size() && all == model.bytes);
        FUZZ_CHECK(doc->isModified() == (model.id != model.savedId));
        FUZZ_CHECK(doc->isModified() || model.bytes == model.saved);
        FUZZ_CHECK(!doc->changedOnDisk());
        FUZZ_CHECK(doc->checkInvariants().empty());
    }
    return 0;
}
