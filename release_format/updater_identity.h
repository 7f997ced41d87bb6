// What a candidate Tidewell.exe says of itself before a signed release may offer it: whether
// it is a Windows GUI program for the expected machine, and its identity, the revision and
// public keys its build wrote into it as a named RCDATA resource. The maker's tool reads it
// from the file's bytes without running it; no platform call here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tidewell {

// The RCDATA resource's name, in any language.
inline constexpr char nomidentite[] = "IDENTITE";

struct CleIdentite {
    int id = 0;
    std::string publique;   // 128 lower-case hexadecimal digits, X then Y of a P-256 point
    bool operator==(const CleIdentite& autre) const;
};

struct Identite {
    std::uint64_t revision = 0;     // 1 to editionmax
    std::vector<CleIdentite> cles;  // at least one, ids strictly increasing
};

// "Identite=1", "Revision=<n>", then one "Cle=<id>;<key>" a key, each line ended by CR LF.
std::string ecritidentite(const Identite& i);
// Reads the identity strictly; nothing for anything but what ecritidentite writes.
std::optional<Identite> lectureidentite(const std::string& texte);

// Machine values as in the PE header.
inline constexpr std::uint16_t machinei386 = 0x14c, machineamd64 = 0x8664;

struct Programme {
    std::uint16_t machine = 0;
    bool fenetre = false;                  // subsystem is Windows GUI (2)
    bool executable = false;               // IMAGE_FILE_EXECUTABLE_IMAGE set and not a DLL
    std::optional<std::string> identite;   // the IDENTITE RCDATA resource's bytes, when present exactly once
};

// Reads a PE file's headers and resource directory from its bytes, which may be truncated or
// hostile: every offset, size and RVA is checked against them, and the walk of the resource
// tree is bounded by its size. Nothing when the bytes are not a well-formed PE of the i386 or
// AMD64 machine, or its resource tree is malformed.
std::optional<Programme> lectureprogramme(const std::string& octets);

}  // namespace tidewell
