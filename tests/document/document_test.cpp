#include "document/document.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <optional>
#include <random>

#include "document/save.h"
#include "document/search.h"
#include "support/toolkit_fixture.h"

using document::Document;
using testing_support::TempFolder;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes contentOf(Document& d) {
    Bytes out(static_cast<size_t>(d.size()));
    EXPECT_EQ(d.read(0, d.size(), out.data()), d.size());
    return out;
}

std::unique_ptr<Document> openOrFail(const std::string& path) {
    int error = -1;
    auto d = Document::open(path, error);
    EXPECT_TRUE(d) << path << ": " << std::strerror(error);
    return d;
}

int64_t naiveFind(const Bytes& data, const Bytes& pattern, int64_t from, bool folded) {
    const auto& fold = document::search::foldTable();
    for (int64_t p = std::max<int64_t>(from, 0); p + static_cast<int64_t>(pattern.size()) <= static_cast<int64_t>(data.size()); ++p) {
        size_t k = 0;
        while (k < pattern.size() && (folded ? fold[data[p + k]] : data[p + k]) == pattern[k]) ++k;
        if (!pattern.empty() && k == pattern.size()) return p;
    }
    return -1;
}

// The editor's change-all loop, one change and one search after the other.
document::ChangeAllResult changeAllLoop(Bytes& b, int64_t p, const Bytes& s, const Bytes& c, bool insert) {
    const auto n = static_cast<int64_t>(s.size()), m = static_cast<int64_t>(c.size());
    if (n == 0 || p < 0 || p + n > static_cast<int64_t>(b.size()) || (!insert && n != m)) return {};
    document::ChangeAllResult result;
    while (p >= 0) {
        b.erase(b.begin() + p, b.begin() + p + n);
        b.insert(b.begin() + p, c.begin(), c.end());
        ++result.changes;
        result.lastChange = p;
        p = naiveFind(b, s, p + m, false);
    }
    return result;
}

// A flat copy of the content, with every state it passed through named by a number: the
// document is unmodified exactly in the state last saved or opened.
struct Model {
    struct Entry {
        Bytes bytes;
        uint64_t id;
        int64_t cursor;
    };
    std::vector<Entry> undo, redo;
    Bytes bytes, saved;
    uint64_t id = 0, savedId = 0, nextId = 1;
    void step(int64_t cursor) {
        undo.push_back({bytes, id, cursor});
        redo.clear();
        id = nextId++;
    }
    // Undo or redo: from one list to the other; the step's cursor, if any.
    std::optional<int64_t> move(std::vector<Entry>& from, std::vector<Entry>& to) {
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

struct RandomRun {
    uint32_t seed;
    size_t fileSize;  // 0: a document bound to no file
    int steps;
    int alphabet;  // bytes drawn from 0 … alphabet − 1, so patterns recur
};

class DocumentModelTest : public ::testing::TestWithParam<RandomRun> {};

TEST_P(DocumentModelTest, RandomEditsUndoChangeAllAndSavesMatchAFlatCopy) {
    const RandomRun run = GetParam();
    std::mt19937 random(run.seed);
    auto below = [&](int64_t n) { return n <= 0 ? 0 : static_cast<int64_t>(random() % static_cast<uint64_t>(n)); };
    auto randomBytes = [&](size_t n) {
        Bytes b(n);
        for (auto& x : b) x = static_cast<uint8_t>(below(run.alphabet));
        return b;
    };
    TempFolder folder;
    const std::string path = folder.file("data.bin");
    Model model;
    std::unique_ptr<Document> doc = std::make_unique<Document>();
    if (run.fileSize > 0) {
        model.bytes = randomBytes(run.fileSize);
        testing_support::writeFile(path, model.bytes);
        doc = openOrFail(path);
    }
    model.markSaved();

    for (int i = 0; i < run.steps; ++i) {
        const int64_t size = static_cast<int64_t>(model.bytes.size());
        const int op = static_cast<int>(below(11));
        const int64_t pos = below(size + 1);
        SCOPED_TRACE("step " + std::to_string(i) + " op " + std::to_string(op) + " pos " + std::to_string(pos));
        if (op == 0 && pos < size) {  // overwrite
            const uint8_t b = static_cast<uint8_t>(below(run.alphabet));
            model.step(pos);
            model.bytes[pos] = b;
            ASSERT_TRUE(doc->overwrite(pos, b));
        } else if (op == 1) {  // insert
            Bytes b = randomBytes(static_cast<size_t>(1 + below(8)));
            model.step(pos);
            model.bytes.insert(model.bytes.begin() + pos, b.begin(), b.end());
            ASSERT_TRUE(doc->insert(pos, b));
        } else if (op == 2 && pos < size) {  // erase
            const int64_t count = 1 + below(std::min<int64_t>(size - pos, 8) - 1 + 1);
            model.step(pos);
            model.bytes.erase(model.bytes.begin() + pos, model.bytes.begin() + pos + count);
            ASSERT_TRUE(doc->erase(pos, count));
        } else if (op == 3 && pos < size) {  // a step of several edits (a hex entry), and a refused edit
            doc->beginStep(pos);
            model.step(pos);
            for (int64_t k = 0; k < 3 && pos + k < size; ++k) {
                model.bytes[pos + k] = static_cast<uint8_t>(k);
                ASSERT_TRUE(doc->replace(pos + k, 1, Bytes{static_cast<uint8_t>(k)}, pos + 7));
            }
            ASSERT_FALSE(doc->erase(size, 1));
            doc->endStep();
        } else if (op == 4 || op == 5) {  // undo, redo
            const auto cursor = op == 4 ? doc->undo() : doc->redo();
            EXPECT_EQ(cursor, op == 4 ? model.move(model.undo, model.redo) : model.move(model.redo, model.undo));
        } else if (op == 6 && size > 0) {  // change all, from a found place or any place
            Bytes s = randomBytes(static_cast<size_t>(1 + below(3)));
            const bool insert = below(2) == 0;
            Bytes c = insert ? randomBytes(static_cast<size_t>(below(4))) : randomBytes(s.size());
            int64_t first = naiveFind(model.bytes, s, pos, false);
            if (first < 0) first = below(size);
            Bytes before = model.bytes;
            const auto expected = changeAllLoop(model.bytes, first, s, c, insert);
            if (expected.changes > 0) {
                std::swap(before, model.bytes);
                model.step(first);
                model.bytes = std::move(before);
            }
            const auto got = doc->changeAll(first, s, c, insert);
            EXPECT_EQ(got.changes, expected.changes);
            EXPECT_EQ(got.lastChange, expected.lastChange);
        } else if (op == 7) {  // find, exact and folded, from anywhere
            Bytes s = randomBytes(static_cast<size_t>(1 + below(4)));
            EXPECT_EQ(doc->findExact(s, pos), naiveFind(model.bytes, s, pos, false));
            auto folded = document::search::capitals(s);
            EXPECT_EQ(doc->findFolded(folded, pos), naiveFind(model.bytes, folded, pos, true));
        } else if (op == 8 && below(4) == 0) {  // save over the file and go on editing
            ASSERT_EQ(document::saveDocument(*doc, path), 0);
            EXPECT_EQ(testing_support::readFile(path), model.bytes);
            model.markSaved();
        } else if (op == 9 && below(8) == 0 && !doc->path().empty()) {  // open afresh
            doc = openOrFail(path);
            model = Model{};
            model.bytes = testing_support::readFile(path);
            model.markSaved();
        } else if (op == 10) {  // a read of the screen, from anywhere
            Bytes screen(400);
            const int64_t n = doc->read(pos, 400, screen.data());
            ASSERT_EQ(n, std::max<int64_t>(0, std::min<int64_t>(400, size - pos)));
            EXPECT_TRUE(std::equal(screen.begin(), screen.begin() + n, model.bytes.begin() + pos));
        }
        ASSERT_EQ(doc->size(), static_cast<int64_t>(model.bytes.size()));
        if (i % 16 == 0 || op == 4 || op == 5) {
            ASSERT_EQ(contentOf(*doc), model.bytes);
        }
        EXPECT_EQ(doc->isModified(), model.id != model.savedId);
        if (!doc->isModified()) {
            EXPECT_EQ(model.bytes, model.saved);
        }
        EXPECT_FALSE(doc->changedOnDisk());
    }
}

INSTANTIATE_TEST_SUITE_P(Runs, DocumentModelTest,
                         ::testing::Values(RandomRun{1, 0, 3000, 3}, RandomRun{2, 5000, 3000, 4},
                                           RandomRun{3, 100, 3000, 2}, RandomRun{4, 70000, 1500, 256}));

}  // namespace
