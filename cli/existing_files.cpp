#include "existing_files.h"

#include <sys/stat.h>

#include "answer_keys.h"
#include "platform/printable_text.h"
#include "platform/wildcard.h"

namespace kaltri {
namespace {

// The member's path below the target as the libraries clean it: no root, no
// "." or empty parts; nullopt for a name the libraries refuse anyway.
std::optional<std::string> TargetPart(const std::string& name) {
    std::string out;
    std::size_t i = 0;
    while (i <= name.size()) {
        std::size_t j = name.find('/', i);
        if (j == std::string::npos) j = name.size();
        std::string part = name.substr(i, j - i);
        if (part == "..") return std::nullopt;
        if (!part.empty() && part != ".") out += (out.empty() ? "" : "/") + part;
        i = j + 1;
    }
    if (out.empty()) return std::nullopt;
    return out;
}

bool SelectsMoreThanItself(const std::string& name) {
    return name.find_first_of("*?[") != std::string::npos;
}

}  // namespace

MemberPlan PlanMembers(kt::TArchiver& driver, const std::string& archive, const std::string& dir) {
    MemberPlan plan;
    HARC arc = driver.OpenArchive(nullptr, archive, 0);
    if (arc == nullptr) return plan;
    INDIVIDUALINFO info{};
    int r = driver.FindFirst(arc, &info, "*");
    bool oneTop = true, inside = false;  // no member beside the top folder; one below it
    while (r == 0) {
        bool folder = info.szAttribute[3] == 'D';
        std::optional<std::string> part = TargetPart(info.szFileName);
        struct stat st;
        if (!folder && part && lstat((dir + *part).c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) {
            plan.existing.push_back(info.szFileName);
        }
        if (!folder) plan.files.push_back(info.szFileName);
        if (part) {
            const std::size_t slash = part->find('/');
            const std::string top = part->substr(0, slash);
            if ((slash == std::string::npos && !folder) ||
                (!plan.topFolder.empty() && top != plan.topFolder))
                oneTop = false;
            plan.topFolder = top;
            inside = inside || slash != std::string::npos;
        }
        info = INDIVIDUALINFO{};
        r = driver.FindNext(arc, &info);
    }
    driver.CloseArchive(arc);
    plan.listed = r == -1;
    if (!oneTop || !inside) plan.topFolder.clear();
    return plan;
}

bool DecideExisting(const std::vector<std::string>& existing, OverwritePolicy policy,
                    const std::string& dir, Lang lang, const QuestionFunction& ask,
                    std::vector<std::string>* replace, std::vector<std::string>* kept) {
    char always = policy == OverwritePolicy::All ? 'y' : policy == OverwritePolicy::None ? 'n' : 0;
    std::vector<std::string> yes;
    for (const std::string& name : existing) {
        char answer = always;
        if (answer == 0) {
            switch (AnswerOfKey(ask(Text(lang, Msg::ArchiveExists, kt::PrintableText(dir + name)),
                                    Text(lang, Msg::AnswerFive)))) {
                case kt::TBatchAnswer::YesToAll:
                    always = answer = 'y';
                    break;
                case kt::TBatchAnswer::NoToAll:
                    always = answer = 'n';
                    break;
                case kt::TBatchAnswer::Yes:
                    answer = 'y';
                    break;
                case kt::TBatchAnswer::No:
                    answer = 'n';
                    break;
                default:
                    return false;
            }
        }
        (answer == 'y' ? yes : *kept).push_back(name);
    }
    for (const std::string& name : yes) {
        bool safe = !SelectsMoreThanItself(name);
        for (const std::string& k : *kept) safe = safe && !kt::WildcardMatch(name, k);
        (safe ? *replace : *kept).push_back(name);
    }
    return true;
}

}  // namespace kaltri
