// The per-thread table of hooked windows, apart from the platform: entries in the order the
// windows were hooked, at most one per window, each holding a counted reference to its
// control, and at most 32767 of them.
#pragma once

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace rotelle {

// `Ref` owns one counted reference to a control: moving it moves the reference, destroying
// it releases the reference.
template <class Ref>
struct HookEntry {
    std::intptr_t Window = 0;
    Ref Control;
    std::intptr_t PrevWndProc = 0;
    // Set through the wide calls: the window was a Unicode one when it was hooked, so the saved
    // procedure is called and put back through those calls too.
    bool Unicode = false;
};

template <class R>
class HookTable {
public:
    using Ref = R;
    static constexpr std::size_t capacite = 32767;

    HookTable() = default;
    HookTable(const HookTable&) = delete;
    HookTable& operator=(const HookTable&) = delete;
    ~HookTable() { vide([](const HookEntry<Ref>&) {}); }

    std::int16_t HookCount() const { return static_cast<std::int16_t>(entries_.size()); }
    std::size_t size() const { return entries_.size(); }
    const HookEntry<Ref>& operator[](std::size_t i) const { return entries_[i]; }
    HookEntry<Ref>& operator[](std::size_t i) { return entries_[i]; }

    // Index of the first entry for the window.
    std::optional<std::size_t> trouve(std::intptr_t window) const
    {
        for (std::size_t i = 0; i < entries_.size(); ++i)
            if (entries_[i].Window == window)
                return i;
        return std::nullopt;
    }

    // Appends an entry; false, with nothing added, when the table is full.
    bool ajoute(HookEntry<Ref> entree)
    {
        if (entries_.size() >= capacite)
            return false;
        entries_.push_back(std::move(entree));
        return true;
    }

    // Removes the entry; later entries move up one place. The entry is handed back, so that
    // its reference is released where the caller chooses.
    HookEntry<Ref> retire(std::size_t i)
    {
        HookEntry<Ref> entree = std::move(entries_[i]);
        entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
        return entree;
    }

    // Empties the table, last entry first. Each entry leaves the table before `avant` sees it
    // and before its reference is released: the release may end a control that then unhooks
    // itself, and must find the table whole, without that entry.
    template <class F>
    void vide(F avant)
    {
        while (!entries_.empty()) {
            HookEntry<Ref> entree = retire(entries_.size() - 1);
            avant(entree);
        }
    }

private:
    std::vector<HookEntry<Ref>> entries_;
};

}  // namespace rotelle
