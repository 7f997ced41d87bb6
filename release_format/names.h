// The names a release may give its files, and the names beside the updater that are its own
// and that no release may take. No platform call here.
#pragma once

#include <cstddef>
#include <string>

namespace tidewell {

// The most files a list names: the updater keeps only the first this many.
constexpr std::size_t placesliste = 50;

// The updater's own files beside it. The record of the last signed release installed:
inline constexpr char nometat[] = "Etatmaj.ini";
// The copy's own number, drawn once, that decides whether a release staged to a share of the
// copies is for it yet, and the newest share it has seen:
inline constexpr char nomtirage[] = "Tiragemaj.ini";
// The journal of an install under way: written whole under another name and renamed in, and
// removed last, once nothing it names is left.
inline constexpr char nomjournal[] = "Journalmaj.ini";
// Held open by the one signed run that may install into the folder, alone, and deleted by the
// platform when it closes: another run started meanwhile, by whatever user or machine, cannot
// open it.
inline constexpr char nomverrou[] = "Verroumaj.ini";
// The log a signed run keeps for the maker's support.
inline constexpr char nomjournalexecution[] = "Tidewell.log";
// A newer updater that a release offers, beside the running one until it takes its name.
inline constexpr char nomrelais[] = "Tidewell.~neuf.exe";

// True when a listed name leads to a file inside the application folder, under that very
// name: not absolute, no drive or stream (":"), no empty segment and none ending in a dot or
// a space (so no "." or ".."), no device name the platform reserves, no wildcard or control
// character, and not a backup (".sav") or partial download (".~maj") of the updater's own.
// Plain names and names in sub-folders are fine. The publishing tool applies the same rule.
bool nomsur(const std::string& nom);

// True for a name a signed release may list: one the updater fetches (nomsur), in no
// sub-folder, and none of its own records and logs beside it.
bool nomsigne(const std::string& nom);

// True when two listed names are one file on the platform: letter case and either slash.
bool memefichier(const std::string& a, const std::string& b);

}  // namespace tidewell
