#include "library_shell.h"

namespace kt::arc {

// A handle's search: the listing and where FindNext goes on. Held by
// shared pointer so that a CloseArchive racing a FindNext on another thread
// frees the listing only after that search step is done.
struct LibraryShell::Search {
    std::mutex mutex;
    std::unique_ptr<MemberListing> listing;
    std::string wildName;
    std::size_t next = 0;
    bool searching = false;
    std::size_t found = SIZE_MAX;  // the member the last step gave
};

HARC LibraryShell::Add(std::unique_ptr<MemberListing> listing) {
    auto search = std::make_shared<Search>();
    search->listing = std::move(listing);
    // The handle is the search's own address: unique while it is open, and
    // a stale or foreign value is simply not found.
    HARC arc = reinterpret_cast<HARC>(search.get());
    std::lock_guard lock(handlesMutex_);
    handles_.emplace(arc, std::move(search));
    return arc;
}

std::shared_ptr<LibraryShell::Search> LibraryShell::Find(HARC arc) {
    std::lock_guard lock(handlesMutex_);
    auto it = handles_.find(arc);
    return it == handles_.end() ? nullptr : it->second;
}

int LibraryShell::Close(HARC arc) noexcept {
    std::shared_ptr<Search> closed;
    std::lock_guard lock(handlesMutex_);
    auto it = handles_.find(arc);
    if (it == handles_.end()) return ERROR_HARC_ISNOT_OPENED;
    closed = std::move(it->second);
    handles_.erase(it);
    return 0;
}

int LibraryShell::Next(Search& s, INDIVIDUALINFO* info) {
    const MemberListing& listing = *s.listing;
    while (s.next < listing.Count()) {
        std::size_t i = s.next++;
        if (!listing.Matches(i, s.wildName)) continue;
        if (info) listing.Fill(i, *info);
        s.found = i;
        return 0;
    }
    return -1;
}

int LibraryShell::FindFirst(HARC arc, LPCSTR wildName, INDIVIDUALINFO* info) noexcept {
    return Barrier<int>(ERROR_ENOUGH_MEMORY, ERROR_UNKNOWN, [&] {
        std::shared_ptr<Search> s = Find(arc);
        if (!s) return static_cast<int>(ERROR_HARC_ISNOT_OPENED);
        std::lock_guard lock(s->mutex);
        std::string wild = wildName ? wildName : "";
        // "*" and "*.*" ask for every member, whatever its name looks like.
        s->wildName = (wild == "*" || wild == "*.*") ? std::string() : wild;
        s->next = 0;
        s->found = SIZE_MAX;
        s->searching = true;
        return Next(*s, info);
    });
}

int LibraryShell::FindNext(HARC arc, INDIVIDUALINFO* info) noexcept {
    return Barrier<int>(ERROR_ENOUGH_MEMORY, ERROR_UNKNOWN, [&] {
        std::shared_ptr<Search> s = Find(arc);
        if (!s) return static_cast<int>(ERROR_HARC_ISNOT_OPENED);
        std::lock_guard lock(s->mutex);
        if (!s->searching) return static_cast<int>(ERROR_NOT_SEARCH_MODE);
        return Next(*s, info);
    });
}

BOOL LibraryShell::SizeOfFound(HARC arc, bool original, int64_t* size) noexcept {
    return Barrier<BOOL>(FALSE, FALSE, [&] {
        std::shared_ptr<Search> s = Find(arc);
        if (!s || !size) return FALSE;
        std::lock_guard lock(s->mutex);
        uint64_t o = 0, c = 0;
        if (s->found == SIZE_MAX || !s->listing->Sizes(s->found, &o, &c)) return FALSE;
        *size = static_cast<int64_t>(original ? o : c);
        return TRUE;
    });
}

}  // namespace kt::arc
