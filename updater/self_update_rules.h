// How a signed updater hands its place to a newer one that a release offers, the parts that
// need no platform call: the words each role is started with, what the running updater tells
// the new one to qualify it, and the names and bounds of the swap.
//
// The running updater brings the offered program whole and as signed, puts it beside itself
// under nomrelais, and starts it with motqualification and the revision offered, giving it on
// its standard input the release it has just installed. The new program judges, with its own built-in keys, that it
// can serve this folder, and ends with codequalifie; anything else (another code, a crash, no
// end within delaiqualification) leaves the running updater in place. Qualified, it is started
// again with motrelais and a handle of the running updater, which then ends; the new program
// waits for that end, takes the folder's lock, and replaces Tidewell.exe by renaming itself
// over it in one step. At every moment Tidewell.exe is the old program or the new one, whole.
#pragma once

#include "names.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tidewell {

inline constexpr char motqualification[] = "TIDEWELL-QUALIFIE";
inline constexpr char motrelais[] = "TIDEWELL-RELAIS";
// A code no run ends with, nor a crash: only a program that knows the word ends with it.
inline constexpr unsigned long codequalifie = 0x2D5A7C31;
// Seconds a new updater has to qualify itself before it is stopped; a second for the platform
// to start it, a few milliseconds of its own work, and room for a slow machine.
inline constexpr double delaiqualification = 20;
// Seconds the new updater waits for the running one to end, and then for its name to be free.
inline constexpr double delairelais = 30;

// What the program is started to do.
struct Appel {
    enum class Role { execution, qualification, relais } role = Role::execution;
    // qualification: the revision the offer gives it (its own must be that one, or the copy
    // would take it again at every run); relais: the running updater's process handle,
    // inherited.
    std::uint64_t nombre = 0;
    // qualification: the keys the running updater would still accept ("id:key" each, spaces
    // between), every one of which the new one must carry, or the copy could lose the next.
    std::string cles;
};

// The role for the arguments of the command line: exactly motqualification or motrelais, a
// space and a number in decimal, and for motqualification the keys; an update run for
// anything else.
Appel appeldepuis(const std::string& arguments);

// What a new updater is qualified against, on its standard input: the release's signature
// file, then its manifest, each byte for byte.
struct Qualification {
    std::string manifeste, signature;
};
std::string ecritqualification(const Qualification& q);
// Nothing for anything but what ecritqualification writes, within the manifest's and
// signature's bounds.
std::optional<Qualification> lecturequalification(const std::string& texte);

}  // namespace tidewell
