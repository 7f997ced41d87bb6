#include "updater_identity.h"

#include "manifest.h"

#include <string_view>

namespace tidewell {

namespace {

// Little-endian fields of a window of the file. A read outside the window gives 0 and spoils
// the reader for good, so that a stage reads its fields and checks `bon` once; every position
// is 64-bit, so that no sum of 32-bit fields wraps.
struct Lecteur {
    std::string_view o;
    bool bon = true;
    std::uint32_t lit(std::uint64_t position, std::size_t taille)
    {
        if (position > o.size() || o.size() - position < taille) {
            bon = false;
            return 0;
        }
        std::uint32_t v = 0;
        for (std::size_t i = taille; i-- > 0;)
            v = v << 8 | static_cast<unsigned char>(o[position + i]);
        return v;
    }
    std::uint16_t l16(std::uint64_t position) { return static_cast<std::uint16_t>(lit(position, 2)); }
    std::uint32_t l32(std::uint64_t position) { return lit(position, 4); }
};

struct Section {
    std::uint64_t va, taille, brut;   // its RVA, and where and how many of its bytes the file holds
};

// The file offset of the `taille` bytes at `rva`, when one section's raw data holds them all.
std::optional<std::uint64_t> position(const std::vector<Section>& sections, std::uint64_t rva, std::uint64_t taille)
{
    for (const Section& s : sections)
        if (rva >= s.va && rva - s.va <= s.taille && s.taille - (rva - s.va) >= taille)
            return s.brut + (rva - s.va);
    return std::nullopt;
}

// The bytes of every IDENTITE RCDATA resource of the tree at `rva`: type, then name, then
// language. Nothing when the tree is malformed: a table, name or data entry outside the
// directory's bytes, data outside every section, a table where data is due or the reverse.
std::optional<std::vector<std::string_view>> identites(std::string_view octets, const std::vector<Section>& sections,
                                                       std::uint32_t rva, std::uint32_t taille)
{
    std::vector<std::string_view> trouvees;
    if (rva == 0)
        return trouvees;
    const auto base = position(sections, rva, taille);
    if (!base)
        return std::nullopt;
    Lecteur r{octets.substr(*base, taille)};
    // A tree holds each entry once, in 8 bytes of its own: visiting more entries than the
    // directory has room for means they are shared, as only a loop or a hostile file does.
    std::uint64_t reste = taille / 8;
    auto entrees = [&](std::uint64_t table, bool feuilles) {
        std::vector<std::pair<std::uint32_t, std::uint32_t>> v;
        const std::uint64_t n = std::uint64_t{r.l16(table + 12)} + r.l16(table + 14);
        r.bon = r.bon && n <= reste;
        for (std::uint64_t i = 0; r.bon && i < n; ++i) {
            const std::uint32_t nom = r.l32(table + 16 + 8 * i), cible = r.l32(table + 20 + 8 * i);
            r.bon = r.bon && (cible >> 31) != feuilles;
            v.emplace_back(nom, cible & 0x7fffffff);
        }
        reste -= r.bon ? n : 0;
        return v;
    };
    // A named entry points at its name: a count of UTF-16LE units, then the units.
    std::string attendu{static_cast<char>(sizeof nomidentite - 1), '\0'};
    for (char c : std::string(nomidentite))
        attendu += {c, '\0'};
    auto nommee = [&](std::uint32_t nom) {
        const std::uint64_t p = nom & 0x7fffffff;
        return (nom >> 31) && p <= r.o.size() && r.o.substr(p, attendu.size()) == attendu;
    };
    for (const auto& [type, noms] : entrees(0, false)) {
        if (type != 10)   // RCDATA
            continue;
        for (const auto& [nom, langues] : entrees(noms, false)) {
            if (!nommee(nom))
                continue;
            for (const auto& langue : entrees(langues, true)) {
                const std::uint32_t donnees = r.l32(langue.second), longueur = r.l32(langue.second + 4ull);
                const auto p = position(sections, donnees, longueur);
                if (!r.bon || !p)
                    return std::nullopt;
                trouvees.push_back(octets.substr(*p, longueur));
            }
        }
    }
    return r.bon ? std::optional(trouvees) : std::nullopt;
}

}  // namespace

bool CleIdentite::operator==(const CleIdentite& autre) const
{
    return id == autre.id && publique == autre.publique;
}

std::string ecritidentite(const Identite& i)
{
    std::string t = "Identite=1\r\nRevision=" + std::to_string(i.revision) + "\r\n";
    for (const CleIdentite& c : i.cles)
        t += "Cle=" + std::to_string(c.id) + ";" + c.publique + "\r\n";
    return t;
}

std::optional<Identite> lectureidentite(const std::string& texte)
{
    const auto ls = lignes(texte);
    if (!ls || ls->size() < 3 || (*ls)[0] != "Identite=1" || (*ls)[1].rfind("Revision=", 0) != 0)
        return std::nullopt;
    const auto revision = entierstrict((*ls)[1].substr(9));
    if (!revision || *revision < 1 || *revision > editionmax)
        return std::nullopt;
    Identite i;
    i.revision = *revision;
    for (std::size_t n = 2; n < ls->size(); ++n) {
        // Read as a signature file's text once its ";" ends a line: that reader checks the id
        // and the 128 hexadecimal digits with the bounds every key id and key take.
        const std::string& l = (*ls)[n];
        const auto separateur = l.find(';');
        const auto cle = separateur == std::string::npos ? std::nullopt
            : lecturesignature(l.substr(0, separateur) + "\r\nSignature=" + l.substr(separateur + 1) + "\r\n");
        if (!cle || (!i.cles.empty() && cle->cle <= i.cles.back().id))
            return std::nullopt;
        i.cles.push_back({cle->cle, cle->rs});
    }
    return i;
}

std::optional<Programme> lectureprogramme(const std::string& octets)
{
    Lecteur l{octets};
    if (l.l16(0) != 0x5a4d)   // "MZ"
        return std::nullopt;
    const std::uint64_t pe = l.l32(0x3c);
    if (l.l32(pe) != 0x4550)   // "PE\0\0"
        return std::nullopt;
    Programme p;
    p.machine = l.l16(pe + 4);
    const std::uint64_t nombresections = l.l16(pe + 6), tailleoptionnel = l.l16(pe + 20);
    const std::uint16_t caracteristiques = l.l16(pe + 22);
    const std::uint64_t optionnel = pe + 24;
    const std::uint16_t magie = l.l16(optionnel);
    if (!(p.machine == machinei386 && magie == 0x10b) && !(p.machine == machineamd64 && magie == 0x20b))
        return std::nullopt;
    // The data directories follow the fields both forms share; the resources' is the third,
    // and the optional header must hold it.
    const std::uint64_t repertoires = optionnel + (magie == 0x20b ? 112 : 96);
    if (l.l32(repertoires - 4) < 3 || repertoires + 24 > optionnel + tailleoptionnel)
        return std::nullopt;
    p.fenetre = l.l16(optionnel + 68) == 2;
    p.executable = (caracteristiques & 0x0002) && !(caracteristiques & 0x2000);
    std::vector<Section> sections;
    for (std::uint64_t i = 0; i < nombresections; ++i) {
        const std::uint64_t s = optionnel + tailleoptionnel + 40 * i;
        const Section section{l.l32(s + 12), l.l32(s + 16), l.l32(s + 20)};
        if (!l.bon || section.brut + section.taille > octets.size())
            return std::nullopt;
        sections.push_back(section);
    }
    const auto trouvees = identites(octets, sections, l.l32(repertoires + 16), l.l32(repertoires + 20));
    if (!l.bon || !trouvees)
        return std::nullopt;
    if (trouvees->size() == 1)
        p.identite = std::string((*trouvees)[0]);
    return p;
}

}  // namespace tidewell
