// Every text kaltri shows, in Japanese for ja locales (the window's own texts
// where the event is the same) and in English otherwise.
#pragma once

#include <string>

namespace kaltri {

enum class Lang { Ja, En };

// From LC_ALL, then LC_MESSAGES, then LANG: "ja..." gives Japanese.
Lang LangFromEnvironment();

enum class Msg {
    FolderMissingCreate,     // %1 folder
    FolderCreateFailed,      // %1 folder
    FolderIsFile,            // %1 folder
    ArchiveExists,           // %1 archive
    PackFailedContinue,      //
    Skipped,                 // %1 source
    Stopped,                 //
    Finished,                //
    Packed,                  // %1 source, %2 archive
    Failed,                  // %1 source, %2 reason
    Summary,                 // %1 packed, %2 skipped, %3 failed, %4 seconds
    PasswordPrompt,          //
    PasswordAgain,           //
    PasswordMismatch,        //
    PasswordHasQuote,        //
    PasswordNeedsZip,        //
    PasswordFileUnreadable,  // %1 file
    NoSources,               //
    SourceUnusable,          // %1 path
    NotATerminal,            //
    Interrupted,             //
    LibraryMissing,          // %1 library
    UnknownFormat,           // %1 archive
    TestOk,                  // %1 archive
    TestFailed,              // %1 archive, %2 code
    ExtractDone,             // %1 archive, %2 folder
    CommandFailed,           // %1 code
    AnswerYesNoAbort,        // the key hint for three answers
    AnswerFive,              // the key hint for five answers
    AnswerFailure,           // the key hint for the failure prompt
    PasswordEmpty,           //
    TestDamaged,             // %1 archive, %2 what is wrong
    TestUntested,            // %1 archive
    ExtractFailed,           // %1 archive, %2 what is wrong
    ExtractKept,             // %1 member
    SameArchive,             // %1 source, %2 archive, %3 the source that made it
    ArchiveIsFolder,         // %1 source, %2 archive
    SourceVanished,          // %1 source
    ExtractNoSpace,          //
    TestAfterPackFailed,     // %1 source, %2 archive, %3 what is wrong
    SourceTrashed,           // %1 source
    SourceDeleted,           // %1 source
    SourceKeptInterrupted,   // %1 source
    SourceKeptChanged,       // %1 source
    SourceKeptNotFlushed,    // %1 source, %2 why
    SourceKeptNotRemoved,    // %1 source, %2 why
    PassedOver,              // %1 source, which is its own archive
    ListCount,               // %1 number of members
    TestSummary,             // %1 archives tested, %2 sound, %3 not sound
    ArchiveInFolder,         // %1 folder, %2 archive
    PackedSizes,             // %1 source, %2 archive, %3 bytes read, %4 bytes written
    NoArchives,              //
};

// A library's error code with what it means, for a report line: "disk full
// (error 0x8005)"; a code without a known meaning is given as a number.
std::string ErrorCodeText(Lang lang, int code);

// The text with %1, %2, ... replaced by the arguments.
std::string Text(Lang lang, Msg id, const std::string& a1 = {}, const std::string& a2 = {},
                 const std::string& a3 = {}, const std::string& a4 = {});

}  // namespace kaltri
