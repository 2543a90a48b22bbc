// The document fuzz target replays its corpus against a flat copy too, with steps of several
// edits, opening the saved file afresh and short reads from anywhere; the editor's reference
// model (EditorModel.RandomKeysDoWhatTheModelDoes) drives documents through hexadecimal
// entries, saves and loads and compares the screen's rows. Here long random runs on larger
// files, large files, and files that change or are no files.
#include "document/document.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "document/save.h"
#include "document/search_algorithms.h"
#include "files/io_calls.h"
#include "files/journal.h"
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
    const auto n = static_cast<int64_t>(pattern.size()), size = static_cast<int64_t>(data.size());
    for (int64_t p = std::max<int64_t>(from, 0); n > 0 && p + n <= size; ++p) {
        int64_t k = 0;
        while (k < n && (folded ? fold[data[p + k]] : data[p + k]) == pattern[k]) ++k;
        if (k == n) return p;
    }
    return -1;
}

// The editor's change-all loop, one change and one search after the other.
document::ChangeAllResult changeAllLoop(Bytes& b, int64_t p, const Bytes& s, const Bytes& c, bool insert) {
    const auto n = static_cast<int64_t>(s.size()), m = static_cast<int64_t>(c.size());
    if (n == 0 || p < 0 || p + n > static_cast<int64_t>(b.size()) || (!insert && n != m)) return {};
    document::ChangeAllResult result;
    for (; p >= 0; p = naiveFind(b, s, p + m, false), ++result.changes) {
        if (n != m) b.erase(b.begin() + p, b.begin() + p + n), b.insert(b.begin() + p, static_cast<size_t>(m), 0);
        std::copy(c.begin(), c.end(), b.begin() + p);
        result.lastChange = p;
    }
    return result;
}

// A flat copy of the content, with every state it passed through named by a number: the
// document is unmodified exactly in the state last saved or opened.
struct Model {
    using Entry = std::tuple<Bytes, uint64_t, int64_t>;  // the bytes, their state, the step's cursor
    std::vector<Entry> undo, redo;
    Bytes bytes;
    uint64_t id = 0, savedId = 0, nextId = 1;
    void step(int64_t cursor) {
        undo.push_back({bytes, id, cursor});
        redo.clear();
        id = nextId++;
    }
    // Undo or redo: from one list to the other; the step's cursor, if any.
    std::optional<int64_t> move(std::vector<Entry>& from, std::vector<Entry>& to) {
        if (from.empty()) return std::nullopt;
        auto [b, state, cursor] = std::move(from.back());
        from.pop_back();
        to.push_back({std::exchange(bytes, std::move(b)), std::exchange(id, state), cursor});
        return cursor;
    }
};

// Seed, file size (0: a document bound to no file), steps, bytes drawn from 0 … alphabet − 1,
// and whether the file has a second name (so that saves write it over in place).
// Change all, the finds and the single-edit calls that wrap replace meet the flat copy in the
// fuzz replay, change all and the finds also in DocumentSearch below.
class DocumentModelTest : public ::testing::TestWithParam<std::tuple<uint32_t, size_t, int, int, bool>> {};

TEST_P(DocumentModelTest, RandomEditsUndoAndSavesMatchAFlatCopy) {
    const auto [seed, fileSize, steps, alphabet, linked] = GetParam();
    std::mt19937 random(seed);
    auto below = [&](int64_t n) { return n <= 0 ? 0 : static_cast<int64_t>(random() % static_cast<uint64_t>(n)); };
    auto randomBytes = [&](size_t n) {
        Bytes b(n);
        for (auto& x : b) x = static_cast<uint8_t>(below(alphabet));
        return b;
    };
    TempFolder folder;
    const std::string path = folder.file("data.bin");
    Model model;
    std::unique_ptr<Document> doc = std::make_unique<Document>();
    if (fileSize > 0) {
        model.bytes = randomBytes(fileSize);
        testing_support::writeFile(path, model.bytes);
        if (linked) std::filesystem::create_hard_link(path, folder.file("link.bin"));
        doc = openOrFail(path);
    }
    for (int i = 0; i < steps; ++i) {
        const int64_t size = static_cast<int64_t>(model.bytes.size());
        const int op = static_cast<int>(below(6));
        const int64_t pos = below(size + 1);
        SCOPED_TRACE("step " + std::to_string(i) + " op " + std::to_string(op) + " pos " + std::to_string(pos));
        if (op <= 2) {  // some bytes (none: an insert) replaced by others (none: an erase)
            const int64_t count = below(std::min<int64_t>(size - pos, 8) + 1);
            const Bytes b = randomBytes(static_cast<size_t>(below(9)));
            if (count > 0 || !b.empty()) model.step(pos);
            model.bytes.erase(model.bytes.begin() + pos, model.bytes.begin() + pos + count);
            model.bytes.insert(model.bytes.begin() + pos, b.begin(), b.end());
            ASSERT_TRUE(doc->replace(pos, count, b));
        } else if (op == 3 || op == 4) {  // undo, redo
            const auto cursor = op == 3 ? doc->undo() : doc->redo();
            EXPECT_EQ(cursor, op == 3 ? model.move(model.undo, model.redo) : model.move(model.redo, model.undo));
        } else if (op == 5 && below(4) == 0) {  // save over the file and go on editing
            ASSERT_EQ(document::saveDocument(*doc, path), 0);
            EXPECT_EQ(testing_support::readFile(path), model.bytes);
            model.savedId = model.id;
        }
        ASSERT_EQ(doc->size(), static_cast<int64_t>(model.bytes.size()));
        ASSERT_EQ(i % 16 == 0 || op == 3 || op == 4 ? contentOf(*doc) : model.bytes, model.bytes);  // now and then
        EXPECT_EQ(std::tuple(doc->isModified(), doc->changedOnDisk(), doc->checkInvariants()),
                  std::tuple(model.id != model.savedId, false, ""));
    }
}

INSTANTIATE_TEST_SUITE_P(Runs, DocumentModelTest,
                         ::testing::Values(std::tuple(1u, 0u, 3000, 3, false), std::tuple(2u, 5000u, 3000, 4, false),
                                           std::tuple(4u, 70000u, 1500, 256, true)));

// Matches that cross the edge of a piece and of the 1 MiB blocks a search reads, found by
// each search and changed by change all as the editor's loop changes them.
TEST(DocumentSearch, FindsAndChangesAcrossPieceAndBlockEdgesAndFoldedScansAgreeWithAPlainLoop) {
    TempFolder folder;
    const int64_t mib = 1 << 20;
    Bytes digits(static_cast<size_t>(2 * mib + 4096));
    for (size_t i = 0; i < digits.size(); ++i) digits[i] = static_cast<uint8_t>('0' + i % 10);
    testing_support::writeFile(folder.file("digits"), digits);
    auto doc = openOrFail(folder.file("digits"));
    // Pieces too short to be read in place (each cut by a byte written over with itself).
    for (int64_t at = 0; at < doc->size(); at += 200000) ASSERT_TRUE(doc->overwrite(at, digits[at]));
    const Bytes word{'x', 'y', 'z', 'w', 'v'};
    const auto capitals = document::search::capitals(word);
    for (int64_t at = mib - 6; at <= mib + 1; ++at) {
        // Written in two parts, so the match spans two pieces as well as the block edge.
        ASSERT_TRUE(doc->replace(at, 2, Bytes(word.begin(), word.begin() + 2)));
        ASSERT_TRUE(doc->replace(at + 2, 3, Bytes(word.begin() + 2, word.end())));
        EXPECT_EQ(std::tuple(doc->findExact(word, 0), doc->findFolded(capitals, 0), doc->findExact(word, at + 1)),
                  std::tuple(at, at, -1));
        doc->undo();
        doc->undo();
    }
    EXPECT_EQ(contentOf(*doc), digits);

    // Dense matches over several blocks, in both modes; the change is one undo step.
    std::mt19937 random(7);
    Bytes model(static_cast<size_t>(3 * mib));
    for (auto& b : model) b = static_cast<uint8_t>('a' + random() % 2);
    testing_support::writeFile(folder.file("letters"), model);
    for (const bool insert : {false, true}) {
        doc = openOrFail(folder.file("letters"));
        Bytes expected = insert ? Bytes(model.begin(), model.begin() + 400000) : model;
        if (insert) doc->erase(400000, doc->size() - 400000);
        const Bytes pattern{'a', 'b', 'b', 'a'}, change = insert ? Bytes{'c'} : Bytes{'b', 'c', 'c', 'd'};
        const int64_t first = naiveFind(expected, pattern, 0, false);
        const int64_t total = doc->size() - first;
        int64_t reported = -1;
        const auto got = doc->changeAll(first, pattern, change, insert, 5, [&](int64_t done, int64_t total) {
            EXPECT_LE(done, total);
            reported = total;
        });
        const auto want = changeAllLoop(expected, first, pattern, change, insert);
        EXPECT_EQ(std::tuple(reported, got.changes, got.lastChange, want.changes > 1000),
                  std::tuple(total, want.changes, want.lastChange, true));
        EXPECT_EQ(contentOf(*doc), expected);
    }

    // The folded scan with SSE2 and its portable twin against a plain loop, on buffers where
    // candidates are frequent and matches sit at the edges of the 16-byte steps.
    random.seed(11);
    const uint8_t letters[] = {'a', 'A', '@', 'b', 'B', 0xE4, 0, 0x60, 1, 2, 0xC4, 0x84};
    for (const size_t length : {1, 2, 3, 5, 17}) {
        Bytes data(static_cast<size_t>(3 << 20) + length);
        for (auto& b : data)
            b = random() % 4 == 0 ? letters[random() % std::size(letters)] : static_cast<uint8_t>(random());
        Bytes word(length);
        for (auto& b : word) b = letters[random() % 6];
        const Bytes pattern = document::search::capitals(word);
        for (size_t edge = 16; edge + 32 < data.size(); edge += 1 << 16)
            std::copy(word.begin(), word.end(),
                      data.begin() + static_cast<int64_t>(edge - length / 2 - edge / 65536 % 3));
        std::copy(word.begin(), word.end(), data.end() - static_cast<int64_t>(length));
        int64_t expected = naiveFind(data, pattern, 0, true), count = 0;
        for (int64_t from = 0;; from = expected + 1, expected = naiveFind(data, pattern, from, true)) {
            ASSERT_EQ(document::search::findFolded(data, pattern, from), expected) << length << " " << from;
            ASSERT_EQ(document::search::findFoldedPortable(data, pattern, from), expected) << length << " " << from;
            if (expected < 0) break;
            ++count;
        }
        EXPECT_GT(count, 40);
    }
}

// Sparse files whose data, holes (long, and short ones read as data), piece edges and matches
// meet at every kind of edge: each find, exact and folded, and change all give what a plain
// scan of the same bytes gives.
TEST(DocumentSearch, OverHolesAgreesWithAPlainScan) {
    TempFolder folder;
    const int64_t unit = 128 << 10, shortHole = 8192, inserted = 2 * unit + unit / 2;
    const uint8_t alphabet[] = {0, 0, '@', 'a', 'A', 1, '`', 'q'};
    std::mt19937 random(3);
    // D data, H hole, d data with a short hole amid it.
    for (const std::string layout : {"HDHdHDHD", "DHdHDHHd", "dDHDHdHH"}) {
        const std::string path = folder.file(layout);
        Bytes content(layout.size() * unit, 0);
        std::vector<int64_t> edges{static_cast<int64_t>(content.size()), inserted, inserted + 3, 5 * unit + 1};
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT, 0600);
        ASSERT_EQ(::ftruncate(fd, static_cast<int64_t>(content.size())), 0);
        for (int64_t at = 0; at < static_cast<int64_t>(content.size()); at += unit) {
            edges.push_back(at);
            if (layout[at / unit] == 'H') continue;
            for (int64_t i = at; i < at + unit; ++i) content[i] = alphabet[random() % std::size(alphabet)];
            // The short hole of a 'd' stays unwritten (and zero); a 'D' has none.
            const int64_t gap = layout[at / unit] == 'd' ? at + unit / 2 : at + unit,
                          rest = std::min(gap + shortHole, at + unit);
            std::fill(content.begin() + gap, content.begin() + rest, 0);
            edges.insert(edges.end(), {gap, rest});
            ASSERT_EQ(::pwrite(fd, &content[at], gap - at, at) + ::pwrite(fd, &content[rest], at + unit - rest, rest),
                      unit - (rest - gap));
        }
        ::close(fd);
        auto doc = openOrFail(path);
        auto check = [&] {
            for (int64_t edge : edges)
                for (int64_t n : {1, 3, 8})
                    for (int64_t shift : {int64_t{0}, int64_t{1}, n - 1, n}) {
                        const int64_t at = std::clamp<int64_t>(edge - shift, 0, doc->size() - n);
                        Bytes exact(content.begin() + at, content.begin() + at + n), folded;
                        for (uint8_t b : exact) folded.push_back(document::search::foldTable()[b]);
                        for (int64_t from : {int64_t{0}, at, at + 1})
                            ASSERT_EQ(std::tuple(doc->findExact(exact, from), doc->findFolded(folded, from)),
                                      std::tuple(naiveFind(content, exact, from, false),
                                                 naiveFind(content, folded, from, true)))
                                << layout << " edge " << edge << " n " << n << " shift " << shift << " from " << from;
                    }
        };
        check();
        // Piece edges amid the third unit and where the sixth begins, each piece still long
        // enough to be read in place; then change all of a pattern across an edge.
        const Bytes three{'a', 0, 'q'};
        ASSERT_TRUE(doc->insert(inserted, three) && doc->overwrite(5 * unit, 'q'));
        content.insert(content.begin() + inserted, three.begin(), three.end());
        content[5 * unit] = 'q';
        check();
        const Bytes pattern(content.begin() + 3 * unit - 2, content.begin() + 3 * unit + 1), change{'z', 'z', 'z'};
        const int64_t first = naiveFind(content, pattern, 0, false);
        const auto got = doc->changeAll(first, pattern, change, false);
        const auto want = changeAllLoop(content, first, pattern, change, false);
        EXPECT_EQ(std::tuple(got.changes, got.lastChange, contentOf(*doc)),
                  std::tuple(want.changes, want.lastChange, content));
    }

    // A terabyte of hole with a few bytes at its end: zeros are found at once, the bytes after
    // the hole is stepped over, and the progress counts the hole as done.
    const int64_t tail = (int64_t{1} << 40) - 4;
    std::ofstream(folder.file("terabyte")).seekp(tail) << "tail";
    auto doc = openOrFail(folder.file("terabyte"));
    int64_t done = 0, total = -1;
    const int64_t found = doc->findExact(Bytes{'a', 'i'}, 7, [&](int64_t d, int64_t t) { done = d, total = t; });
    EXPECT_EQ(std::tuple(found, done, total, doc->findExact(Bytes{0, 0}, 7), doc->findFolded(Bytes{'@', 'T'}, 7)),
              std::tuple(tail + 1, tail - 3, tail - 3, 7, tail - 1));
    // Changing every zero of it would take more pieces than there is memory: refused whole.
    const document::ChangeAllResult all = doc->changeAll(0, Bytes{0}, Bytes{1}, false);
    EXPECT_EQ(std::tuple(all.tooMany, all.changes, doc->isModified(), doc->byteAt(0)), std::tuple(true, 0, false, 0));

    // A file cut short while a search reads it in place: the rest reads as zeros (as any read
    // of the lost bytes gives them), the search ends, and the document knows its file changed.
    const std::string cut = folder.file("cut");
    Bytes data(4 << 20, 'c');
    data[3 << 20] = 'X';
    testing_support::writeFile(cut, data);
    doc = openOrFail(cut);
    bool cutShort = false;
    const int64_t lost = doc->findExact(
        Bytes{'X'}, 0, [&](int64_t, int64_t) { cutShort = cutShort || ::truncate(cut.c_str(), 1 << 20) == 0; });
    EXPECT_EQ(std::tuple(lost, cutShort, doc->changedOnDisk(), doc->findExact(Bytes{'c', 0}, 0)),
              std::tuple(-1, true, true, (1 << 20) - 1));
}

// A sparse file of 5 GiB edited past 4 GiB, saved, read back, and the history still works on
// the saved file. (EditorCommands.AFileLargerThanFourGiB... checks that the holes stay.)
TEST(DocumentFiles, SparseFileLargerThan4GiB) {
    TempFolder folder;
    const std::string path = folder.file("sparse");
    const int64_t size = int64_t{5} << 30, past4 = (int64_t{4} << 30) + 1, high = int64_t{9} << 29;
    testing_support::writeFile(path, {});
    std::filesystem::resize_file(path, size - 4);
    std::ofstream(path, std::ios::app) << "tail";
    auto doc = openOrFail(path);
    ASSERT_EQ(doc->size(), size);
    ASSERT_TRUE(doc->overwrite(high, 'X'));
    ASSERT_TRUE(doc->insert(past4, Bytes{'a', 'b', 'c'}));
    EXPECT_EQ(doc->findExact(Bytes{'b', 'c'}, past4 - 100), past4 + 1);
    ASSERT_EQ(document::saveDocument(*doc, path), 0);
    auto back = openOrFail(path);
    EXPECT_EQ(std::tuple(back->size(), back->byteAt(past4 + 2), back->byteAt(high + 3), back->byteAt(size + 2),
                         back->byteAt(past4 - 1)),
              std::tuple(size + 3, 'c', 'X', 'l', 0));
    EXPECT_FALSE(doc->isModified());
    EXPECT_EQ(doc->undo(), past4);
    EXPECT_EQ(doc->undo(), high);
    EXPECT_EQ(std::tuple(doc->byteAt(high), doc->size(), doc->isModified()), std::tuple(0, size, true));

    // A fill of 4 GiB: pieces over one stored block of whole patterns, each starting with it.
    const Bytes pattern{'1', '2', '3'};
    const int64_t block = 4194306, filled = int64_t{4} << 30;  // a thousandth of the range, in patterns
    ASSERT_TRUE(doc->fill(7, filled, pattern));
    for (int64_t p : {int64_t{7}, 7 + block - 1, 7 + block, 7 + 1023 * block + 1, 7 + filled - 1})
        EXPECT_EQ(doc->byteAt(p), pattern[static_cast<size_t>((p - 7) % 3)]) << p;
    EXPECT_EQ(std::tuple(doc->byteAt(6), doc->byteAt(7 + filled), doc->size()), std::tuple(0, 0, size));
    EXPECT_EQ(doc->undo(), 7);
    EXPECT_EQ(doc->byteAt(7 + block), 0);
}

// A file cut short while open: reads give zeros and say so, and a save refuses to make up
// the missing bytes, leaving the file alone.
TEST(DocumentFiles, FileTruncatedUnderneathOrSavedInPlaceAndWhatIsNoRegularFile) {
    TempFolder folder;
    const std::string path = folder.file("shrinks");
    testing_support::writeFile(path, Bytes(300000, 'q'));
    auto doc = openOrFail(path);
    EXPECT_FALSE(doc->changedOnDisk());
    ASSERT_TRUE(doc->overwrite(10, 'x'));
    ASSERT_EQ(::truncate(path.c_str(), 1000), 0);
    EXPECT_TRUE(doc->changedOnDisk());  // by its size, before any read
    Bytes screen(400, 0xFF);
    EXPECT_EQ(doc->read(200000, 400, screen.data()), 400);
    EXPECT_EQ(std::tuple(screen, doc->byteAt(10), doc->findExact(Bytes{'z'}, 0)), std::tuple(Bytes(400, 0), 'x', -1));
    EXPECT_EQ(document::saveDocument(*doc, path), EIO);
    EXPECT_EQ(std::tuple(testing_support::readFile(path),
                         std::distance(std::filesystem::directory_iterator(folder.path()), {})),
              std::tuple(Bytes(1000, 'q'), 1));
    ASSERT_EQ(::truncate(path.c_str(), 300000), 0);  // same size again: still a changed file
    EXPECT_TRUE(doc->changedOnDisk());
    // Cut short while it is copied: the write fails and the document knows a read failed.
    const std::string cutWhileCopied = folder.file("cut while copied");
    testing_support::writeFile(cutWhileCopied, Bytes(300000, 'q'));
    doc = openOrFail(cutWhileCopied);
    ASSERT_TRUE(doc->overwrite(10, 'x'));
    const int out = ::open(folder.file("copy").c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    EXPECT_EQ(doc->writeTo(out, [&](int64_t, int64_t) { ::truncate(cutWhileCopied.c_str(), 1000); }), EIO);
    ::close(out);
    EXPECT_TRUE(doc->readFailed());
    std::filesystem::remove(folder.file("copy")), std::filesystem::remove(cutWhileCopied);

    // A file with a second name is written over in place: both names hold the new content, the
    // document reads it from its place, and the history keeps the bytes written over.
    const std::string linked = folder.file("linked"), other = folder.file("other name");
    testing_support::writeFile(linked, Bytes(200000, 'a'));
    ASSERT_EQ(::link(linked.c_str(), other.c_str()), 0);
    doc = openOrFail(linked);
    ASSERT_TRUE(doc->insert(5, Bytes{'b', 'c'}));
    EXPECT_EQ(doc->byteAt(150000), 'a');  // a block of the old file read before
    ASSERT_TRUE(doc->overwrite(150000, 'd'));
    SaveOutcome outcome;
    ASSERT_EQ(document::saveDocument(*doc, linked, {}, &outcome), 0);
    Bytes written(200002, 'a');
    written[5] = 'b', written[6] = 'c', written[150000] = 'd';
    EXPECT_EQ(std::tuple(outcome.inPlace, testing_support::readFile(other), contentOf(*doc), doc->isModified()),
              std::tuple(true, written, written, false));
    doc->undo(), doc->undo();
    EXPECT_EQ(std::tuple(contentOf(*doc), doc->isModified(), doc->checkInvariants()),
              std::tuple(Bytes(200000, 'a'), true, ""));

    // Only regular files are documents; the others are refused at once, also those that would
    // block a reader, and saving works into a folder on another file system too.
    const std::string fifo = folder.file("fifo"), socketPath = folder.file("socket");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{.sun_family = AF_UNIX, .sun_path = {}};
    std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const std::pair<std::string, int> cases[] = {{"/dev/zero", ENOTSUP},
                                                 {fifo, ENOTSUP},
                                                 {socketPath, ENOTSUP},
                                                 {folder.path(), EISDIR},
                                                 {folder.file("missing"), ENOENT}};
    const auto start = std::chrono::steady_clock::now();
    for (const auto& [path, expected] : cases) {
        int error = 0;
        EXPECT_EQ(Document::open(path, error), nullptr) << path;
        EXPECT_EQ(error, expected) << path;
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    ::close(sock);

    Document fresh;
    ASSERT_TRUE(fresh.insert(0, Bytes(200000, 'n')));
    ASSERT_TRUE(fresh.overwrite(7, 'm'));
    ASSERT_EQ(document::saveDocument(fresh, folder.file("new")), 0);
    Bytes expected(200000, 'n');
    expected[7] = 'm';
    for (const std::string& other : {std::string("/dev/shm"), folder.path()}) {
        if (::access(other.c_str(), W_OK) != 0) continue;
        const std::string copy = other + "/document-test-" + std::to_string(::getpid());
        ASSERT_TRUE(fresh.overwrite(8, 'o'));
        expected[8] = 'o';
        ASSERT_EQ(document::saveDocument(fresh, copy), 0) << copy;
        EXPECT_EQ(std::tuple(testing_support::readFile(copy), fresh.path()), std::tuple(expected, copy));
        ::unlink(copy.c_str());
    }
}

int openDescriptors() {
    return static_cast<int>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}));
}

// Twenty saves with an edit each let the replaced files go: the descriptors and the disk
// space (on a tmpfs of its own) come back, and undo reaches back across every save, with the
// history's bytes in memory and, past a bound of none, in the cache folder's file.
TEST(DocumentSaves, OldVersionsAreLetGo) {
    TempFolder folder;
    const bool mounted = ::mount("tmpfs", folder.path().c_str(), "tmpfs", 0, "size=64m") == 0;
    const std::string path = folder.file("data.bin");
    std::mt19937 random(5);
    Bytes original(4 << 20);
    for (auto& b : original) b = static_cast<uint8_t>(random());
    for (const int64_t limit : {int64_t{16} << 20, int64_t{0}}) {
        Document::setStoreMemoryLimit(limit);
        testing_support::writeFile(path, original);
        struct statvfs disk {
        }, after{};
        ::statvfs(folder.path().c_str(), &disk);
        const int descriptors = openDescriptors();
        auto doc = openOrFail(path);
        for (int i = 0; i < 20; ++i) {
            doc->overwrite(i * 100000, 'x');
            doc->insert(i * 7 + 3, Bytes{'y'});
            ASSERT_EQ(document::saveDocument(*doc, path), 0);
        }
        ::statvfs(folder.path().c_str(), &after);
        EXPECT_LE(openDescriptors() - descriptors, limit == 0 ? 2 : 1);
        EXPECT_LE(mounted ? (disk.f_bfree - after.f_bfree) * disk.f_frsize : 0, 1u << 20);
        while (doc->undo()) {
        }
        EXPECT_EQ(std::tuple(contentOf(*doc), doc->checkInvariants()), std::tuple(original, ""));
    }
    Document::setStoreMemoryLimit(int64_t{16} << 20);
    if (mounted) ::umount2(folder.path().c_str(), MNT_DETACH);
}

// Every system call by which a save changes files failed in turn (the k-th for k = 1, 2, …
// until the save makes fewer), with EIO and with ENOSPC, for a save by rename, one in place,
// a Save As onto another name of the document's own file, one onto another file with a
// second name, and a journaled one (only overwrites). After each failure the file holds
// exactly its old or its new content (after a journal is finished on opening it), or the
// kept copy named holds the new; the document shows its own content and is modified; the
// next save writes exactly that, keeps no replaced file open, and undo reaches back across
// both saves.
TEST(DocumentSaves, EveryCallOfASaveFailedInTurn) {
    enum Kind { renamed, inPlace, saveAsOwnLink, saveAsLinkedOther, journaled };
    std::mt19937 random(3);
    Bytes original(600 << 10, 0);  // data, a hole, data
    for (size_t i = 0; i < original.size(); ++i)
        if (i < (64 << 10) || i >= (512 << 10)) original[i] = static_cast<uint8_t>(random());
    const std::string shm = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "";  // saves sync: memory is quick
    testing_support::LogCapture quiet;
    for (const Kind kind : {renamed, inPlace, saveAsOwnLink, saveAsLinkedOther, journaled}) {
        for (const int error : {EIO, ENOSPC}) {
            for (int k = 1; k < 200; ++k) {
                SCOPED_TRACE("kind " + std::to_string(kind) + " error " + std::to_string(error) + " call " +
                             std::to_string(k));
                TempFolder folder(shm);
                const std::string path = folder.file("data.bin"), other = folder.file("other.bin");
                testing_support::writeFile(path, Bytes(original.begin(), original.begin() + (64 << 10)));
                std::filesystem::resize_file(path, 512 << 10);
                std::ofstream(path, std::ios::app | std::ios::binary)
                    .write(reinterpret_cast<const char*>(original.data()) + (512 << 10), 88 << 10);
                testing_support::writeFile(other, Bytes(1000, 'o'));
                const std::string target = kind == renamed || kind == inPlace || kind == journaled ? path
                                           : kind == saveAsOwnLink ? folder.file("link.bin")
                                                                   : other;
                if (kind != renamed && kind != journaled)
                    std::filesystem::create_hard_link(kind == saveAsLinkedOther ? other : path,
                                                      folder.file("link.bin"));
                const Bytes before = testing_support::readFile(target);
                const int descriptors = openDescriptors();
                struct stat first {};
                ::stat(path.c_str(), &first);
                auto doc = openOrFail(path);
                Bytes expected = original;
                doc->overwrite(10, 'x'), expected[10] = 'x';
                if (kind == journaled)
                    doc->overwrite(70000, 1), expected[70000] = 1;  // in the hole
                else
                    doc->insert(70000, Bytes{1, 2, 3}), expected.insert(expected.begin() + 70000, {1, 2, 3});
                ASSERT_EQ(document::saveDocument(*doc, path), 0);
                if (kind == journaled)
                    doc->overwrite(530000, 'z'), expected[530000] = 'z';
                else
                    doc->erase(530000, 100), expected.erase(expected.begin() + 530000, expected.begin() + 530100);
                doc->overwrite(5, 'y'), expected[5] = 'y';
                const Bytes saved = testing_support::readFile(path);

                io::failCall(k, error);
                SaveOutcome outcome;
                const int result = document::saveDocument(*doc, target, {}, &outcome);
                struct stat now {};
                ::stat(path.c_str(), &now);
                EXPECT_TRUE(kind != journaled || (outcome.inPlace && now.st_ino == first.st_ino));
                const bool failed = io::failureHappened();
                io::failCall(0, 0);
                EXPECT_EQ(std::tuple(contentOf(*doc), doc->checkInvariants()), std::tuple(expected, ""));
                if (kind == journaled) openOrFail(path);  // finishes a journal left behind
                EXPECT_FALSE(std::filesystem::exists(f_JournalBeside(path)));
                const Bytes onDisk = testing_support::readFile(target);
                if (result == 0) {
                    EXPECT_EQ(std::tuple(onDisk == expected, doc->isModified()), std::tuple(true, false));
                } else {
                    const bool kept = !outcome.keptAt.empty() &&
                                      testing_support::readFile(outcome.keptAt) == expected &&
                                      outcome.keptAt.find(".ostrakonix-rescue-") != std::string::npos;
                    const Bytes old = target == other ? before : saved;
                    EXPECT_TRUE(onDisk == old || onDisk == expected || kept) << std::strerror(result);
                    EXPECT_TRUE(doc->isModified());
                }
                ASSERT_EQ(document::saveDocument(*doc, target), 0);
                EXPECT_EQ(std::tuple(testing_support::readFile(target) == expected, doc->isModified(),
                                     openDescriptors() - descriptors, doc->checkInvariants()),
                          std::tuple(true, false, 1, ""));
                EXPECT_TRUE(outcome.keptAt.empty() || std::filesystem::exists(outcome.keptAt));
                while (doc->undo()) {
                }
                EXPECT_EQ(contentOf(*doc), original);
                if (!failed) break;
            }
        }
    }
}

// A change-all of the same length is written in place through a journal when its changes
// lie close together (merged into one range), and the file is saved whole when they are
// scattered into more ranges than a journal takes; either way the file is the new content
// and undo brings back the old.
TEST(DocumentSaves, CloseChangesAreJournaledAsOneRangeAndTooManyRangesSaveTheFileWhole) {
    const std::string shm = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "";
    TempFolder folder(shm);
    const std::string path = folder.file("data.bin");
    const int64_t marks = 4200;
    for (const int64_t spacing : {int64_t{100}, int64_t{4100}}) {
        Bytes original(static_cast<size_t>(marks * spacing), 0);
        for (int64_t i = 0; i < marks; ++i) original[static_cast<size_t>(i * spacing)] = 'M';
        testing_support::writeFile(path, original);
        struct stat before {}, after{};
        ::stat(path.c_str(), &before);
        auto doc = openOrFail(path);
        ASSERT_EQ(doc->changeAll(0, Bytes{'M'}, Bytes{'N'}, false).changes, marks);
        Bytes expected = original;
        std::replace(expected.begin(), expected.end(), uint8_t{'M'}, uint8_t{'N'});
        SaveOutcome outcome;
        ASSERT_EQ(document::saveDocument(*doc, path, {}, &outcome), 0);
        ::stat(path.c_str(), &after);
        const bool journaled = spacing < 4096;
        EXPECT_EQ(std::tuple(outcome.inPlace, after.st_ino == before.st_ino, testing_support::readFile(path) == expected,
                             doc->isModified()),
                  std::tuple(journaled, journaled, true, false))
            << spacing;
        EXPECT_TRUE(doc->undo());
        EXPECT_EQ(std::tuple(contentOf(*doc) == original, doc->checkInvariants()), std::tuple(true, "")) << spacing;
    }
}

// A journal cut short at each of its bytes means the save never touched the file: opening
// the file removes it and the file keeps its old content. A whole journal is finished on
// opening, whether the save had written none, some or all of the new bytes; one whose file
// has been changed since, or replaced, is removed and the file left alone; so is one that a
// later save makes wrong.
TEST(DocumentSaves, AJournalCutShortAtEachStepIsHandled) {
    TempFolder folder;
    testing_support::LogCapture quiet;
    const std::string path = folder.file("data.bin"), journal = f_JournalBeside(path);
    Bytes old(100000);
    for (size_t i = 0; i < old.size(); ++i) old[i] = static_cast<uint8_t>(i * 13);
    testing_support::writeFile(path, old);
    auto doc = openOrFail(path);
    doc->overwrite(5, 'a'), doc->overwrite(50000, 'b'), doc->overwrite(99999, 'c');
    const Bytes fresh = contentOf(*doc);
    Bytes half = old;
    half[5] = 'a';
    for (int k = 1; !std::filesystem::exists(journal) && k < 20; ++k) {  // a save stopped after its journal
        io::failCall(k, EIO);
        document::saveDocument(*doc, path);
    }
    io::failCall(0, 0);
    const Bytes whole = testing_support::readFile(journal);
    ASSERT_GT(whole.size(), 60u);
    for (size_t cut = 0; cut <= whole.size(); ++cut) {
        for (const Bytes* state : {&std::as_const(old), &std::as_const(half), &fresh}) {
            if (cut < whole.size() && state != &old) continue;  // the file is touched only after the journal is whole
            SCOPED_TRACE("cut at " + std::to_string(cut));
            testing_support::writeFile(path, *state);
            testing_support::writeFile(journal, Bytes(whole.begin(), whole.begin() + static_cast<int64_t>(cut)));
            EXPECT_TRUE(openOrFail(path));
            EXPECT_EQ(std::tuple(testing_support::readFile(path) == (cut == whole.size() ? fresh : old),
                                 std::filesystem::exists(journal)),
                      std::tuple(true, false));
        }
    }
    Bytes other = old;
    other[50000] = 'x';  // changed since the save
    for (const bool replaced : {false, true}) {
        if (replaced) std::filesystem::remove(path);
        testing_support::writeFile(path, other);
        testing_support::writeFile(journal, whole);
        EXPECT_TRUE(openOrFail(path));
        EXPECT_EQ(std::tuple(testing_support::readFile(path), std::filesystem::exists(journal)),
                  std::tuple(other, false));
    }
    // A save that writes the file whole drops a journal an earlier save left.
    testing_support::writeFile(journal, whole);
    doc->insert(0, Bytes{'i'});
    ASSERT_EQ(document::saveDocument(*doc, path), 0);
    EXPECT_FALSE(std::filesystem::exists(journal));

    // A journal locked by a save going on (here this test, through a description of its own)
    // is left alone, however short it still is; once unlocked it is judged as ever.
    const Bytes current = testing_support::readFile(path);
    testing_support::writeFile(journal, Bytes(whole.begin(), whole.begin() + 40));
    const int locked = ::open(journal.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(locked, LOCK_EX), 0);
    EXPECT_TRUE(openOrFail(path));
    EXPECT_EQ(std::tuple(testing_support::readFile(path) == current, std::filesystem::exists(journal)),
              std::tuple(true, true));
    ::close(locked);
    EXPECT_TRUE(openOrFail(path));
    EXPECT_FALSE(std::filesystem::exists(journal));

    // A range written in part (a kill or a failure amid its write): its first half new, its
    // second half old. Every byte is its old or its new value, so the save is finished.
    const Bytes saved = contentOf(*doc);
    ASSERT_TRUE(doc->replace(1000, 2000, Bytes(2000, 'r')));
    const Bytes edited = contentOf(*doc);
    for (int k = 1; !std::filesystem::exists(journal) && k < 20; ++k) {
        io::failCall(k, EIO);
        document::saveDocument(*doc, path);
    }
    io::failCall(0, 0);
    Bytes torn = saved;
    std::fill(torn.begin() + 1000, torn.begin() + 2000, 'r');
    testing_support::writeFile(path, torn);
    EXPECT_TRUE(openOrFail(path));
    EXPECT_EQ(std::tuple(testing_support::readFile(path) == edited, std::filesystem::exists(journal)),
              std::tuple(true, false));
}

}  // namespace
