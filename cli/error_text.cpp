#include "error_text.h"

#include <cstdio>

#include "platform/archiver_api.h"

namespace kaltri {
namespace {

struct Meaning {
    int code;
    const char* ja;
    const char* en;
};

constexpr Meaning kMeanings[] = {
    {ERROR_DISK_SPACE, "ディスクの空きが足りません", "not enough disk space"},
    {ERROR_READ_ONLY, "読み取り専用のファイルがあります", "a read-only file is in the way"},
    {ERROR_METHOD, "対応していない圧縮方式です", "compression method not supported"},
    {ERROR_PASSWORD_FILE, "パスワードが違います", "wrong password"},
    {ERROR_FILE_CRC, "データの CRC が合いません (壊れています)", "CRC error in the data (damaged)"},
    {ERROR_FILE_OPEN, "ファイルを開けません", "a file cannot be opened"},
    {ERROR_MORE_FRESH, "より新しいファイルがあるので残しました",
     "a newer file exists and was kept"},
    {ERROR_NOT_EXIST, "ファイルがありません", "a file does not exist"},
    {ERROR_ALREADY_EXIST, "同じ名前のファイルがあるので残しました",
     "a file of that name exists and was kept"},
    {ERROR_MAKEDIRECTORY, "フォルダを作成できません", "a folder cannot be created"},
    {ERROR_CANNOT_WRITE, "書き込めません", "writing failed"},
    {ERROR_HEADER_CRC, "ヘッダが壊れています", "a header is damaged"},
    {ERROR_HEADER_BROKEN, "ヘッダが壊れています", "a header is damaged"},
    {ERROR_ARC_FILE_OPEN, "書庫を開けません", "the archive cannot be opened"},
    {ERROR_NOT_ARC_FILE, "書庫ではありません", "not an archive"},
    {ERROR_CANNOT_READ, "読み込めません", "reading failed"},
    {ERROR_FILE_STYLE, "書庫の形式を判別できません", "the archive format is not recognised"},
    {ERROR_USER_CANCEL, "中断されました", "cancelled"},
    {ERROR_NOT_FIND_ARC_FILE, "書庫がありません", "the archive does not exist"},
    {ERROR_EOF, "書庫が途中で切れています", "the archive ends too early"},
    {ERROR_NOT_FIND_FILE, "該当するファイルがありません", "no matching file"},
    {ERROR_UNEXPECTED_EOF, "書庫が途中で切れています", "the archive ends too early"},
    {ERROR_HDR_INVALID_SIZE, "ヘッダが壊れています", "a header is damaged"},
    {ERROR_UNKNOWN_LEVEL, "対応していないヘッダレベルです", "header level not supported"},
    {ERROR_BROKEN_DATA, "圧縮データが壊れています", "the compressed data is damaged"},
    {ERROR_INVALID_PATH, "展開先の外を指す名前があります",
     "a name leads outside the target folder"},
    {ERROR_TOO_BIG, "大きすぎます", "too large"},
    {ERROR_NOT_SUPPORT, "対応していない操作です", "not supported"},
};

}  // namespace

std::string ErrorMeaning(Lang lang, int code) {
    for (const Meaning& m : kMeanings) {
        if (m.code == code) return lang == Lang::Ja ? m.ja : m.en;
    }
    char buf[32];
    std::snprintf(buf, sizeof buf, lang == Lang::Ja ? "エラー 0x%X" : "error 0x%X",
                  static_cast<unsigned>(code));
    return buf;
}

}  // namespace kaltri
