#include "messages.h"

#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <iterator>

namespace kaltri {
namespace {

struct Entry {
    const char* ja;
    const char* en;
};

// Indexed by Msg; the Japanese texts of the window are kept word for word,
// with the window's carriage return as a line break.
constexpr Entry kTexts[] = {
    {"ディレクトリ(%1)がありません。\n作成しますか？", "Folder %1 does not exist.\nCreate it?"},
    {"ディレクトリ(%1)が作成できませんでした。\n続けますか？",
     "Folder %1 could not be created.\nGo on?"},
    {"ディレクトリ(%1)がファイルとして存在するため圧縮処理ができません。\n続けますか？",
     "%1 is a file, not a folder, so nothing can be packed there.\nGo on?"},
    {"ファイル(%1)が既に存在します。\n上書きしますか？", "File %1 already exists.\nReplace it?"},
    {"圧縮に失敗しました。\n続けますか？", "Packing failed.\nGo on?"},
    {"ファイル(%1)の圧縮処理はスキップします。", "Skipping %1."},
    {"処理を中断します。", "Stopped."},
    {"終了しました。", "Done."},
    {"%1 -> %2", "%1 -> %2"},
    {"失敗: %1 (%2)", "failed: %1 (%2)"},
    {"圧縮 %1 件、スキップ %2 件、失敗 %3 件 (%4 秒)", "packed %1, skipped %2, failed %3 (%4 s)"},
    {"パスワード: ", "Password: "},
    {"パスワード (確認): ", "Password (again): "},
    {"パスワードが一致しません。", "The passwords do not match."},
    {"パスワードに二重引用符 (\") は使えません。",
     "A password may not contain a double quote (\")."},
    {"パスワードは ZIP 形式でのみ使えます。", "Passwords are available for ZIP only."},
    {"パスワードファイル(%1)を読めません。", "Cannot read the password file %1."},
    {"圧縮するファイルがありません。", "No files to pack."},
    {"%1 は追加できません (通常のファイルまたは読み取れるフォルダではありません)。",
     "%1 cannot be added (not a regular file or a readable folder)."},
    {"端末がないため質問できません。", "No terminal to ask on."},
    {"中断されました。", "Interrupted."},
    {"%1 が見つかりません。", "The archiver library %1 was not found."},
    {"書庫の形式を判別できません。", "The archive format of %1 cannot be recognised."},
    {"%1: 正常です。", "%1: OK"},
    {"%1: 異常があります (エラー %2)。", "%1: damaged (error %2)"},
    {"%1 を %2 に展開しました。", "Extracted %1 into %2."},
    {"エラー %1", "error %1"},
    {" [y]はい / [n]いいえ / [a]中止: ", " [y]es / [n]o / [a]bort: "},
    {" [y]はい / [n]いいえ / [a]中止 / [o]すべていいえ / [A]すべてはい: ",
     " [y]es / [n]o / [a]bort / n[o] to all / [A]ll: "},
    {" [y]はい / [a]中止 / [A]すべてはい: ", " [y]es / [a]bort / yes to [A]ll: "},
    {"空のパスワードは使えません。", "An empty password cannot be used."},
    {"%1: 異常があります: %2", "%1: damaged: %2"},
    {"%1: 暗号化されたファイルはパスワードなしでは検査できません (-p または --password-file)。",
     "%1: encrypted members were not tested: give the password (-p or --password-file)"},
    {"%1 の展開に失敗しました: %2", "Extracting %1 failed: %2"},
    {"既存のファイル %1 を残しました。", "Kept the existing file %1."},
    {"失敗: %1 (%2 はこの処理で %3 から作成したため上書きしません。--on-clash rename "
     "で別名にできます)",
     "failed: %1 (%2 was made from %3 in this run and is not replaced; --on-clash rename picks "
     "another name)"},
    {"失敗: %1 (%2 という名前のフォルダがあります)",
     "failed: %1 (a folder named %2 is in the way)"},
    {"失敗: %1 (ファイルが見つかりません。処理中に削除または移動されました)",
     "failed: %1 (the file is gone: it was removed or moved during the run)"},
    {"書庫が宣言するサイズが空き容量を超えるため、何も展開していません (--no-space-check "
     "で展開します)。",
     "Nothing was extracted: the archive declares more than the free space (--no-space-check "
     "extracts anyway)."},
    {"失敗: %1 (作成した %2 が検査で異常と判定されたため削除しました。既存の書庫はそのままです: "
     "%3)",
     "failed: %1 (the new %2 failed its test and was removed; an old archive stays as it was: %3)"},
    {"  %1 をごみ箱に移動しました。", "  moved %1 to the trash"},
    {"  %1 を削除しました。", "  deleted %1"},
    {"  %1 を残しました (書庫の検査が終わる前に中断されました)。",
     "  kept %1: the run was interrupted before its archive was tested"},
    {"  %1 を残しました (圧縮中にサイズまたは更新日時が変わりました)。",
     "  kept %1: its size or modification time changed while it was packed"},
    {"  %1 を残しました (書庫をディスクに書き出せません: %2)。",
     "  kept %1: the archive could not be flushed to disk (%2)"},
    {"  %1 を残しました (%2)。", "  kept %1: %2"},
    {"ファイル(%1)は作成する圧縮ファイルそのものであるため、圧縮処理はスキップします。",
     "%1 is the archive itself: skipped, never packed into itself."},
    {"メンバー数: %1", "%1 members"},
    {"%1 個の書庫を検査しました: 正常 %2、異常 %3", "tested %1 archives: %2 sound, %3 not"},
    {"失敗: %1 (書庫 %2 がそのフォルダの中になるため圧縮しません)",
     "failed: %1 (its archive %2 would lie inside the folder it packs)"},
    {"%1 -> %2 (%3 バイト -> %4 バイト)", "%1 -> %2 (%3 -> %4 bytes)"},
    {"書庫の一覧が空です。", "The list names no archive."},
};

static_assert(std::size(kTexts) == static_cast<std::size_t>(Msg::NoArchives) + 1,
              "one text per message");

}  // namespace

Lang LangFromEnvironment() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* v = std::getenv(name);
        if (v != nullptr && *v != '\0') return std::strncmp(v, "ja", 2) == 0 ? Lang::Ja : Lang::En;
    }
    return Lang::En;
}

std::string ErrorCodeText(Lang lang, int code) {
    struct Meaning {
        int code;
        const char* ja;
        const char* en;
    };
    static constexpr Meaning kMeanings[] = {
        {0x8005, "ディスクの空き容量が足りません", "disk full"},
        {0x8006, "書き込みが禁止されています", "read-only"},
        {0x8009, "対応していない圧縮方式です", "unsupported method"},
        {0x800A, "パスワードが違います", "wrong password"},
        {0x800C, "CRC が一致しません", "CRC mismatch"},
        {0x800D, "ファイルを開けません", "cannot open the file"},
        {0x800E, "より新しいファイルがあるので残しました", "a newer file was kept"},
        {0x8010, "同じ名前のファイルがあるので残しました", "an existing file was kept"},
        {0x8012, "フォルダを作成できません", "cannot make the folder"},
        {0x8013, "書き込めません", "cannot write"},
        {0x8016, "ヘッダが壊れています", "damaged header"},
        {0x8017, "ヘッダが壊れています", "damaged header"},
        {0x8018, "書庫を開けません", "cannot open the archive"},
        {0x8019, "書庫ではありません", "not an archive"},
        {0x801A, "読み込めません", "cannot read"},
        {0x8020, "中断されました", "cancelled"},
        {0x8023, "対応していない操作です", "not supported"},
        {0x8025, "一時ファイルを作成できません", "cannot make the temporary file"},
        {0x8029, "書庫が見つかりません", "archive not found"},
        {0x8031, "ファイルが見つかりません", "file not found"},
        {0x8042, "書庫が途中で終わっています", "archive ends early"},
        {0x8046, "ヘッダが壊れています", "damaged header"},
        {0x8047, "対応していないヘッダレベルです", "unsupported header level"},
        {0x8048, "データが壊れています", "damaged data"},
        {0x8049, "安全でないパスです", "unsafe path"},
        {0x804A, "大きすぎます", "too large"},
        {0x8FFF, "原因不明のエラーです", "unknown error"},
    };
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%04X", static_cast<unsigned>(code));
    for (const Meaning& m : kMeanings) {
        if (m.code == code)
            return std::string(lang == Lang::Ja ? m.ja : m.en) +
                   (lang == Lang::Ja ? " (エラー " : " (error ") + hex + ")";
    }
    return std::string(lang == Lang::Ja ? "エラー " : "error ") + hex;
}

std::string Text(Lang lang, Msg id, const std::string& a1, const std::string& a2,
                 const std::string& a3, const std::string& a4) {
    const Entry& e = kTexts[static_cast<int>(id)];
    const char* t = lang == Lang::Ja ? e.ja : e.en;
    const std::string* args[] = {&a1, &a2, &a3, &a4};
    std::string out;
    for (const char* p = t; *p != '\0'; ++p) {
        if (p[0] == '%' && p[1] >= '1' && p[1] <= '4') {
            out += *args[p[1] - '1'];
            ++p;
        } else {
            out.push_back(*p);
        }
    }
    return out;
}

}  // namespace kaltri
