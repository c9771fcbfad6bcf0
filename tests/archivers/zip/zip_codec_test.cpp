// The format core on its own: round trips in memory, Zip64 end records,
// ZipCrypto keys, and archives the peers must accept.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>

#include "platform/core_budget.h"
#include "archivers/codecs/zip/zip_aes.h"
#include "archivers/codecs/zip/zip_chunked_deflate.h"
#include "archivers/codecs/zip/zip_crypto.h"
#include "archivers/zip_container/zip_extract.h"
#include "archivers/codecs/zip/zip_methods.h"
#include "archivers/zip_container/zip_names.h"
#include "archivers/zip_container/zip_piece_pool.h"
#include "archivers/zip_container/zip_reader.h"
#include "zip_test_support.h"
#include "archivers/zip_container/zip_writer.h"

namespace kt::ziptest {
namespace {

using namespace kt::zip;

struct StringSink : ZipSink {
    bool Write(const uint8_t* p, size_t n) override {
        data.append(reinterpret_cast<const char*>(p), n);
        return true;
    }
    std::string data;
};

TEST(ZipCodec, RoundTripsEveryMethodWithAndWithoutPassword) {
    std::vector<std::pair<std::string, std::string>> members = {{"text.txt", SampleText(70000)},
                                                                {"random.bin", RandomBytes(9000)},
                                                                {"empty", ""},
                                                                {"名前.txt", "x"}};
    for (std::string pw : {"", "key with blanks"}) {
        for (int level : {0, 1, 6, 9}) {
            MemoryOutput out;
            ZipWriter w(out);
            for (auto& [name, data] : members) {
                ZipEntry e;
                e.name = name;
                ASSERT_EQ(w.AddBuffer(e, reinterpret_cast<const uint8_t*>(data.data()), data.size(),
                                      {level, pw}),
                          ZipStatus::Ok);
            }
            ASSERT_EQ(w.Finish("comment"), ZipStatus::Ok);
            MemorySource src(out.bytes.data(), out.bytes.size());
            ZipDirectory dir;
            ASSERT_EQ(ReadZipDirectory(src, dir), ZipStatus::Ok);
            ASSERT_EQ(dir.entries.size(), members.size());
            EXPECT_EQ(dir.comment, "comment");
            for (size_t i = 0; i < members.size(); ++i) {
                const ZipEntry& e = dir.entries[i];
                EXPECT_EQ(e.name, members[i].first);
                EXPECT_EQ(e.IsEncrypted(), !pw.empty());
                StringSink sink;
                ASSERT_EQ(ExtractEntry(src, e, pw, sink), ZipStatus::Ok)
                    << e.name << " level " << level;
                EXPECT_EQ(sink.data, members[i].second);
                if (!pw.empty()) {
                    StringSink none;
                    EXPECT_EQ(ExtractEntry(src, e, "", none), ZipStatus::NeedPassword);
                }
            }
            // Random data is stored rather than grown.
            EXPECT_EQ(dir.entries[1].method, kMethodStored);
        }
    }
}

TEST(ZipCodec, StreamedSourceMatchesAndPeersAgree) {
    TempDir d;
    std::string big = SampleText(kWholeFileLimit + 123457, 3);
    MemorySource in(big.data(), big.size());
    MemoryOutput out;
    ZipWriter w(out);
    ZipEntry e;
    e.name = "big.txt";
    uint64_t lastProgress = 0;
    ASSERT_EQ(w.AddSource(e, in, {6, "pw"},
                          [&](uint64_t done) {
                              lastProgress = done;
                              return true;
                          }),
              ZipStatus::Ok);
    EXPECT_EQ(lastProgress, big.size());
    ASSERT_EQ(w.Finish(), ZipStatus::Ok);
    EXPECT_TRUE(w.Entries()[0].HasDescriptor());
    WriteFile(d / "s.zip", out.bytes);
    EXPECT_EQ(RunTool({"unzip", "-tq", "-P", "pw", d / "s.zip"}), 0);
    MemorySource src(out.bytes.data(), out.bytes.size());
    ZipDirectory dir;
    ASSERT_EQ(ReadZipDirectory(src, dir), ZipStatus::Ok);
    StringSink sink;
    ASSERT_EQ(ExtractEntry(src, dir.entries[0], "pw", sink), ZipStatus::Ok);
    EXPECT_TRUE(sink.data == big);
    // A stop from the progress function ends the entry.
    MemoryOutput out2;
    ZipWriter w2(out2);
    EXPECT_EQ(w2.AddSource(e, in, {}, [](uint64_t) { return false; }), ZipStatus::Stopped);
}

// WinZip AE-2 as the writer makes it, whole and streamed: method 99 with the
// real method in the AES block of both headers, version 5.1, no CRC, a salt
// that differs between entries, and a MAC that any changed byte breaks.
TEST(ZipCodec, AesEntriesCarryAe2FieldsAndTheirMacCatchesDamage) {
    const std::string small = SampleText(30000), big = SampleText(kWholeFileLimit + 999, 5);
    for (int strength : {1, 2, 3}) {
        MemoryOutput out;
        ZipWriter w(out);
        WriteOptions opt{6, "pw", strength};
        ZipEntry e;
        e.name = "a.txt";
        ASSERT_EQ(w.AddBuffer(e, reinterpret_cast<const uint8_t*>(small.data()), small.size(), opt),
                  ZipStatus::Ok);
        e.name = "b.txt";
        ASSERT_EQ(w.AddBuffer(e, reinterpret_cast<const uint8_t*>(small.data()), small.size(), opt),
                  ZipStatus::Ok);
        e.name = "big.txt";
        MemorySource in(big.data(), big.size());
        ASSERT_EQ(w.AddSource(e, in, opt), ZipStatus::Ok);
        ASSERT_EQ(w.Finish(), ZipStatus::Ok);
        MemorySource src(out.bytes.data(), out.bytes.size());
        ZipDirectory dir;
        ASSERT_EQ(ReadZipDirectory(src, dir), ZipStatus::Ok);
        ASSERT_EQ(dir.entries.size(), 3u);
        const size_t head = 4 + 4 * static_cast<size_t>(strength) + kAesVerifierSize;
        for (const ZipEntry& entry : dir.entries) {
            EXPECT_EQ(entry.method, kMethodAes);
            EXPECT_EQ(entry.versionNeeded, 51);
            EXPECT_EQ(entry.crc, 0u);
            EXPECT_TRUE(entry.IsEncrypted());
            EXPECT_FALSE(entry.HasDescriptor());
            auto info = FindAesInfo(entry.extraCentral);
            ASSERT_TRUE(info);
            EXPECT_EQ(info->version, 2);
            EXPECT_EQ(info->strength, strength);
            EXPECT_EQ(info->method, kMethodDeflate);
            // The local header carries the same block (readers that stream need it).
            const auto* local =
                reinterpret_cast<const uint8_t*>(out.bytes.data()) + entry.localOffset;
            const std::string localExtra(
                reinterpret_cast<const char*>(local) + kLocalHeaderSize + Get16(local + 26),
                Get16(local + 28));
            EXPECT_EQ(Get16(local + 8), kMethodAes);
            EXPECT_TRUE(FindAesInfo(localExtra));
            StringSink sink;
            ASSERT_EQ(ExtractEntry(src, entry, "pw", sink), ZipStatus::Ok) << entry.name;
            EXPECT_TRUE(sink.data == (entry.name == "big.txt" ? big : small)) << entry.name;
            StringSink wrong;
            EXPECT_EQ(ExtractEntry(src, entry, "pW", wrong), ZipStatus::BadPassword);
        }
        // Same data and password, yet other bytes: each entry has its own salt.
        uint64_t dataA = 0, dataB = 0;
        ASSERT_EQ(LocateEntryData(src, dir.entries[0], dataA), ZipStatus::Ok);
        ASSERT_EQ(LocateEntryData(src, dir.entries[1], dataB), ZipStatus::Ok);
        EXPECT_NE(0, std::memcmp(out.bytes.data() + dataA, out.bytes.data() + dataB, head));
        // One changed byte of encrypted data: the MAC, not the CRC, refuses it.
        std::string damaged = out.bytes;
        damaged[dataA + head + 100] ^= 1;
        MemorySource bad(damaged.data(), damaged.size());
        StringSink sink;
        EXPECT_EQ(ExtractEntry(bad, dir.entries[0], "pw", sink), ZipStatus::AuthFailed);
    }
}

// The local header repeats the directory's method, encryption bit, CRC,
// sizes and name. The reader goes by the directory, so a local copy that
// differs is damage nothing else would show: the member is refused.
TEST(ZipCodec, ALocalHeaderThatDisagreesWithTheDirectoryIsDamage) {
    const std::string text = SampleText(5000);
    MemoryOutput out;
    ZipWriter w(out);
    ZipEntry e;
    e.name = "a.txt";
    ASSERT_EQ(w.AddBuffer(e, reinterpret_cast<const uint8_t*>(text.data()), text.size(), {6, ""}),
              ZipStatus::Ok);
    ASSERT_EQ(w.Finish(), ZipStatus::Ok);
    struct Change {
        const char* field;
        std::size_t at;  // in the local header
    };
    for (const Change& c : {Change{"encryption bit", 6}, Change{"method", 8}, Change{"CRC", 15},
                            Change{"packed size", 18}, Change{"size", 23}, Change{"name", 31}}) {
        SCOPED_TRACE(c.field);
        std::string bytes = out.bytes;
        bytes[c.at] ^= 1;
        MemorySource src(bytes.data(), bytes.size());
        ZipDirectory dir;
        ASSERT_EQ(ReadZipDirectory(src, dir), ZipStatus::Ok);
        StringSink sink;
        EXPECT_EQ(ExtractEntry(src, dir.entries[0], "", sink), ZipStatus::Broken);
        EXPECT_TRUE(sink.data.empty());
    }
    // The end record counts the entries twice (this disk's, and all); on
    // one disk the two must agree.
    std::string count = out.bytes;
    count[count.size() - 22 + 8] ^= 1;
    MemorySource counted(count.data(), count.size());
    ZipDirectory dir;
    EXPECT_NE(ReadZipDirectory(counted, dir), ZipStatus::Ok);
    MemorySource sound(out.bytes.data(), out.bytes.size());
    ASSERT_EQ(ReadZipDirectory(sound, dir), ZipStatus::Ok);
    StringSink sink;
    EXPECT_EQ(ExtractEntry(sound, dir.entries[0], "", sink), ZipStatus::Ok);
    EXPECT_TRUE(sink.data == text);
}

// A file whose bytes past `failAt` cannot be read (a disk error mid-file).
struct FailingSource final : ByteSource {
    FailingSource(const std::string& data, uint64_t failAt) : data_(data), failAt_(failAt) {}
    uint64_t Size() const override { return data_.size(); }
    bool ReadAt(uint64_t offset, void* buffer, size_t n) const override {
        if (offset + n > failAt_) return false;
        std::memcpy(buffer, data_.data() + offset, n);
        return true;
    }
    const std::string& data_;
    uint64_t failAt_;
};

// The pieces must join into the same stream whether the caller deflates them
// alone (every core held by other jobs) or helpers join in; the cores the
// helpers took go back however the entry ends.
TEST(ZipPiecePool, SameStreamOnOneThreadOrManyAndTheCoresGoBack) {
    const std::string data =
        SampleText(6u << 20, 21) + RandomBytes(3u << 20, 22) + SampleText(1u << 20, 23);
    MemorySource in(data.data(), data.size());
    auto deflate = [&](size_t& threads) {
        PiecePool pool(in, 6, kMaxWorkers);
        PiecePool::Piece piece;
        std::string stream;
        uLong crc = crc32(0, nullptr, 0);
        uint64_t raw = 0;
        while (pool.Next(piece)) {
            stream.append(reinterpret_cast<const char*>(piece.data), piece.size);
            crc = crc32_combine(crc, piece.crc, static_cast<z_off_t>(piece.rawSize));
            raw += piece.rawSize;
        }
        EXPECT_EQ(pool.Status(), ZipStatus::Ok);
        EXPECT_EQ(raw, data.size());
        EXPECT_EQ(crc, crc32(0, reinterpret_cast<const Bytef*>(data.data()),
                             static_cast<uInt>(data.size())));
        threads = pool.Threads();
        return stream;
    };
    size_t many = 0, alone = 0;
    const std::string shared = deflate(many);
    EXPECT_EQ(kt::FreeCores(), kt::CoreCount());
    for (int i = 0; i < kt::CoreCount(); ++i) kt::TakeCore();
    const std::string own = deflate(alone);
    for (int i = 0; i < kt::CoreCount(); ++i) kt::GiveCore();
    EXPECT_EQ(alone, 1u);
    EXPECT_EQ(many, std::min<size_t>(kMaxWorkers, kt::CoreCount()));
    EXPECT_TRUE(shared == own);

    std::string back(data.size(), '\0');
    z_stream z{};
    ASSERT_EQ(inflateInit2(&z, -MAX_WBITS), Z_OK);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(shared.data()));
    z.avail_in = static_cast<uInt>(shared.size());
    z.next_out = reinterpret_cast<Bytef*>(back.data());
    z.avail_out = static_cast<uInt>(back.size());
    EXPECT_EQ(inflate(&z, Z_FINISH), Z_STREAM_END);
    inflateEnd(&z);
    EXPECT_TRUE(back == data);

    // A read failure in the third piece, while helpers work on the others.
    FailingSource failing(data, (8u << 20) + 5);
    MemoryOutput out;
    ZipWriter w(out);
    ZipEntry e;
    e.name = "big";
    EXPECT_EQ(w.AddSource(e, failing, {6, ""}), ZipStatus::ReadError);
    EXPECT_EQ(kt::FreeCores(), kt::CoreCount());
    EXPECT_EQ(w.AddSource(e, in, {6, ""}, [](uint64_t) { return false; }), ZipStatus::Stopped);
    EXPECT_EQ(kt::FreeCores(), kt::CoreCount());
}

// A neighbouring job that ends gives its core back in the middle of a large
// entry: the entry's next pieces must use it at once, not at the next entry.
TEST(ZipPiecePool, ACoreGivenBackMidEntryIsPickedUp) {
    const int cores = kt::CoreCount();
    if (cores < 2) GTEST_SKIP() << "one core: no helper to pick up";
    const std::string data = SampleText(6 * kPieceSize, 24);
    MemorySource in(data.data(), data.size());
    for (int i = 0; i < cores; ++i) kt::TakeCore();  // every core busy with other files
    {
        PiecePool pool(in, 1, kMaxWorkers);
        PiecePool::Piece piece;
        ASSERT_TRUE(pool.Next(piece));
        EXPECT_EQ(pool.Threads(), 1u);
        kt::GiveCore();  // a neighbour's file is done
        ASSERT_TRUE(pool.Next(piece));
        EXPECT_EQ(pool.Threads(), 2u);
        EXPECT_EQ(kt::FreeCores(), 0);  // the helper holds the core given back
        while (pool.Next(piece)) {
        }
        EXPECT_EQ(pool.Status(), ZipStatus::Ok);
    }
    EXPECT_EQ(kt::FreeCores(), 1);
    for (int i = 1; i < cores; ++i) kt::GiveCore();
}

TEST(ZipCodec, ManyEntriesUseZip64EndRecordsThatPeersRead) {
    TempDir d;
    MemoryOutput out;
    ZipWriter w(out);
    const size_t count = 70000;
    for (size_t i = 0; i < count; ++i) {
        ZipEntry e;
        e.name = "f" + std::to_string(i);
        ASSERT_EQ(w.AddBuffer(e, nullptr, 0, {}), ZipStatus::Ok);
    }
    ASSERT_EQ(w.Finish(), ZipStatus::Ok);
    MemorySource src(out.bytes.data(), out.bytes.size());
    ZipDirectory dir;
    ASSERT_EQ(ReadZipDirectory(src, dir), ZipStatus::Ok);
    EXPECT_EQ(dir.entries.size(), count);
    EXPECT_EQ(dir.entries.back().name, "f69999");
    // A stub in front, offsets not adjusted: still found.
    std::string stubbed = std::string(1000, 'S') + out.bytes;
    MemorySource src2(stubbed.data(), stubbed.size());
    ASSERT_EQ(ReadZipDirectory(src2, dir), ZipStatus::Ok);
    EXPECT_EQ(dir.prefixSize, 1000u);
    EXPECT_EQ(dir.entries.size(), count);
    WriteFile(d / "many.zip", out.bytes);
    EXPECT_EQ(RunTool({"unzip", "-tq", d / "many.zip"}), 0);
}

// Pieces of every kind (multi-block text, incompressible bytes that become
// stored blocks, one byte) joined into one stream must inflate to the input.
TEST(ZipCodec, ChunkedDeflatePiecesJoinIntoOneStream) {
    std::vector<std::string> pieces = {SampleText(900000, 4), RandomBytes(70000), "x",
                                       SampleText(5000, 5)};
    for (int level : {1, 6, 9}) {
        ChunkedDeflater deflater(level);
        std::string stream, input;
        std::vector<uint8_t> out;
        for (size_t i = 0; i < pieces.size(); ++i) {
            const auto* p = reinterpret_cast<const uint8_t*>(pieces[i].data());
            ASSERT_TRUE(deflater.Compress(p, pieces[i].size(), i + 1 == pieces.size(), out));
            stream.append(out.begin(), out.end());
            input += pieces[i];
        }
        std::string back(input.size() + 1, '\0');
        z_stream z{};
        ASSERT_EQ(inflateInit2(&z, -MAX_WBITS), Z_OK);
        z.next_in = reinterpret_cast<Bytef*>(stream.data());
        z.avail_in = static_cast<uInt>(stream.size());
        z.next_out = reinterpret_cast<Bytef*>(back.data());
        z.avail_out = static_cast<uInt>(back.size());
        EXPECT_EQ(inflate(&z, Z_FINISH), Z_STREAM_END) << "level " << level;
        EXPECT_EQ(z.total_out, input.size());
        EXPECT_EQ(z.avail_in, 0u);  // nothing after the final block
        inflateEnd(&z);
        back.resize(input.size());
        EXPECT_TRUE(back == input) << "level " << level;
    }
}

TEST(ZipCodec, NamesOfDosProducersDecodeByFlagThenUtf8ThenCp932ThenCp437) {
    const bool dos = true;
    EXPECT_EQ(DecodeEntryName("dir\\a.txt", false, dos), "dir/a.txt");
    EXPECT_EQ(DecodeEntryName("\xE5\x90\x8D.txt", true, dos), "名.txt");
    EXPECT_EQ(DecodeEntryName("\xE5\x90\x8D.txt", false, dos), "名.txt");          // raw UTF-8
    EXPECT_EQ(DecodeEntryName("\x83\x65\x83\x58\x83\x67", false, dos), "テスト");  // CP932
    EXPECT_EQ(DecodeEntryName("Gr\x81\xDF\xFF", false, dos), "Grü\u2580\u00A0");   // CP437
    EXPECT_EQ(DecodeEntryName("old", false, dos, "new/名"), "new/名");  // verified 0x7075 name wins
}

TEST(ZipCodec, NamesOfOtherProducersKeepTheirBytesAndBackslashes) {
    const bool dos = false;
    EXPECT_EQ(DecodeEntryName("back\\slash.txt", false, dos), "back\\slash.txt");
    EXPECT_EQ(DecodeEntryName("latin1-\xE9t\xE9.txt", false, dos), "latin1-\xE9t\xE9.txt");
    EXPECT_EQ(DecodeEntryName("\xE5\x90\x8D.txt", true, dos), "名.txt");
    EXPECT_TRUE(IsDosHost(0x0014) && IsDosHost(0x0B14) && !IsDosHost(0x031E) && !IsDosHost(0x1314));
}

TEST(ZipCodec, CryptoHeaderRejectsWrongKeys) {
    ZipCrypto enc("secret");
    uint8_t head[12];
    ASSERT_TRUE(enc.MakeHeader(0xAB12, head));
    EXPECT_TRUE(ZipCrypto("secret").CheckHeader(head, 0xAB12));
    int accepted = 0;
    for (int i = 0; i < 100; ++i)
        accepted += ZipCrypto("wrong" + std::to_string(i)).CheckHeader(head, 0xAB12);
    EXPECT_LT(accepted, 5);  // one byte of check: about 1 in 256 passes
    // The CRC table behind the keys is the standard one.
    EXPECT_EQ(Crc32(0, "123456789", 9), 0xCBF43926u);
}

TEST(ZipCodec, RecoveryScanFindsEntriesWithoutDirectory) {
    MemoryOutput out;
    ZipWriter w(out);
    for (std::string name : {"a.txt", "b.txt"}) {
        ZipEntry e;
        e.name = name;
        std::string data = SampleText(5000);
        ASSERT_EQ(w.AddBuffer(e, reinterpret_cast<const uint8_t*>(data.data()), data.size(), {}),
                  ZipStatus::Ok);
    }
    ASSERT_EQ(w.Finish(), ZipStatus::Ok);
    std::string cut = out.bytes.substr(0, out.bytes.size() - 30);  // end record lost
    MemorySource src(cut.data(), cut.size());
    ZipDirectory dir;
    EXPECT_NE(ReadZipDirectory(src, dir), ZipStatus::Ok);
    ASSERT_EQ(ScanLocalHeaders(src, dir), ZipStatus::Ok);
    ASSERT_EQ(dir.entries.size(), 2u);
    StringSink sink;
    EXPECT_EQ(ExtractEntry(src, dir.entries[1], "", sink), ZipStatus::Ok);
}

}  // namespace
}  // namespace kt::ziptest
