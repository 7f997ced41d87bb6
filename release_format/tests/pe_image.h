// PE images built in memory for the tests of what reads programs: headers as a linker lays
// them out, one ".rsrc" section with the resource tree given.
#pragma once

#include "updater_identity.h"

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace peimage {

using tidewell::machineamd64;
using tidewell::nomidentite;

// An entry of a resource tree: a numeric id or, when `nom` is set, a name; then the entries
// below it or, at the third level, the resource's bytes.
struct Noeud {
    std::uint32_t id = 0;
    std::string nom{};
    std::vector<Noeud> enfants{};
    std::string octets{};
};

inline std::vector<Noeud> rcdata(std::vector<Noeud> noms)
{
    return {{3, "", {{1, "", {{0x409, "", {}, "icone"}}}}}, {10, "", std::move(noms)}};
}

inline void pose(std::string& s, std::size_t p, std::uint64_t v, std::size_t n = 4)
{
    for (std::size_t i = 0; i < n; ++i)
        s[p + i] = static_cast<char>(v >> 8 * i);
}

// Appends a table and all below it to the section at RVA 0x1000; its offset there.
inline std::size_t table(std::string& s, const std::vector<Noeud>& noeuds, int niveau)
{
    const std::size_t t = s.size();
    s.resize(t + 16 + 8 * noeuds.size());
    pose(s, t + 14, noeuds.size(), 2);
    for (std::size_t i = 0; i < noeuds.size(); ++i) {
        const Noeud& n = noeuds[i];
        const std::size_t e = t + 16 + 8 * i;
        pose(s, e, n.nom.empty() ? n.id : 0x80000000 | s.size());
        for (char c : n.nom.empty() ? "" : static_cast<char>(n.nom.size()) + n.nom)
            s += {c, '\0'};
        pose(s, e + 4, niveau < 3 ? 0x80000000 | table(s, n.enfants, niveau + 1) : s.size());
        if (niveau == 3) {
            s.resize(s.size() + 16);
            pose(s, s.size() - 16, 0x1000 + s.size());
            pose(s, s.size() - 12, n.octets.size());
            s += n.octets;
        }
    }
    return t;
}

// Headers in the first 0x200 bytes, as a linker lays them out, then the ".rsrc" section.
inline std::string image(std::uint16_t machine, const std::vector<Noeud>& ressources, std::uint16_t sousysteme = 2,
                  std::uint16_t caracteristiques = 0x0102)
{
    std::string section;
    table(section, ressources, 1);
    section.resize((section.size() + 0x1ff) & ~std::size_t{0x1ff});
    const bool large = machine == machineamd64;
    const std::size_t repertoires = 0x98 + (large ? 112 : 96), sections = 0x98 + (large ? 240 : 224);
    const std::uint64_t rsrc = ressources.empty() ? 0 : 0x1000, taille = section.size();
    std::string s(0x200, '\0');
    s.replace(sections, 5, ".rsrc");
    for (const auto& [p, v, n] : std::vector<std::tuple<std::size_t, std::uint64_t, std::size_t>>{
             {0, 0x5a4d, 2}, {0x3c, 0x80, 4}, {0x80, 0x4550, 4}, {0x84, machine, 2}, {0x86, 1, 2},
             {0x94, sections - 0x98, 2}, {0x96, caracteristiques, 2}, {0x98, large ? 0x20bu : 0x10bu, 2},
             {0x98 + 68, sousysteme, 2}, {repertoires - 4, 16, 4}, {repertoires + 16, rsrc, 4},
             {repertoires + 20, rsrc ? taille : 0, 4}, {sections + 8, taille, 4}, {sections + 12, 0x1000, 4},
             {sections + 16, taille, 4}, {sections + 20, 0x200, 4}})
        pose(s, p, v, n);
    return s + section;
}

// An image of the common kinds: a GUI program (or the subsystem given, or a library) of the
// machine given, with an RCDATA resource IDENTITE holding `identite` when it is set.
struct Options {
    std::uint16_t machine = tidewell::machinei386;
    std::uint16_t subsystem = 2;
    bool dll = false;
    std::optional<std::string> identite;
};

inline std::string image(const Options& o)
{
    std::vector<Noeud> noms;
    if (o.identite)
        noms.push_back({0, nomidentite, {{0x409, "", {}, *o.identite}}});
    return image(o.machine, rcdata(noms), o.subsystem, o.dll ? 0x2102 : 0x0102);
}

}  // namespace peimage
