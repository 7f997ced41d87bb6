#include "updater_offer_make.h"

#include "forms_make.h"
#include "updater_identity.h"

#include <algorithm>
#include <fstream>
#include <new>

namespace tidewell::publication {

namespace fs = std::filesystem;

namespace {

std::string lit(const fs::path& chemin, std::uint64_t taillemax, bool& lu)
{
    std::error_code ec;
    const auto taille = fs::file_size(chemin, ec);
    if (ec || taille > taillemax) {
        lu = false;
        return {};
    }
    std::ifstream f(chemin, std::ios::binary);
    std::string octets(static_cast<std::size_t>(taille), '\0');
    f.read(octets.data(), static_cast<std::streamsize>(taille));
    lu = lu && f && f.peek() == std::char_traits<char>::eof();
    return octets;
}

const char* nommachine(std::uint16_t m)
{
    return m == machinei386 ? "32-bit (i386)" : m == machineamd64 ? "64-bit (x86_64)" : "unknown";
}

// Why the program cannot be offered, or empty: it must be a Windows GUI program (of `machine`
// unless 0), carry the identity of a signed updater, and trust the key that signs the release
// exactly as the maker's tool knows it. `revision` receives its revision.
std::string refusprogramme(const std::string& octets, std::uint16_t machine, const Signataire& s, std::uint64_t& revision)
{
    const auto p = lectureprogramme(octets);
    if (!p || !p->executable)
        return "not a Windows program";
    if (!p->fenetre)
        return "not a Windows GUI program";
    if (machine && p->machine != machine)
        return std::string("a ") + nommachine(p->machine) + " program; the tree offers the " + nommachine(machine)
               + " updater";
    const auto id = p->identite ? lectureidentite(*p->identite) : std::nullopt;
    if (!id)
        return "it carries no identity of an updater with release keys (resource IDENTITE): build it with "
               "TIDEWELL_UPDATE_KEYS";
    revision = id->revision;
    const auto cle = std::find_if(s.connues.begin(), s.connues.end(), [&](const ClePublique& c) { return c.cle == s.cle; });
    const bool porte = cle != s.connues.end() && std::any_of(id->cles.begin(), id->cles.end(), [&](const CleIdentite& c) {
                           return c.id == cle->cle && c.publique == cle->publique;
                       });
    if (!porte)
        return "it does not carry key " + std::to_string(s.cle)
               + ", which signs this release: the copies that took it could verify no release of it";
    return {};
}

// The revisions the history keeps, newest first.
std::vector<std::uint64_t> revisionsgardees(const fs::path& arbre)
{
    std::vector<std::uint64_t> revisions;
    std::error_code ec;
    for (fs::directory_iterator it(historiqueprogrammes(arbre), ec), fin; !ec && it != fin; it.increment(ec))
        if (const auto r = entierstrict(it->path().filename().string()))
            revisions.push_back(*r);
    std::sort(revisions.rbegin(), revisions.rend());
    return revisions;
}

}  // namespace

fs::path historique(const fs::path& arbre)
{
    return arbre.parent_path() / ("." + arbre.filename().string() + ".history");
}

fs::path historiqueprogrammes(const fs::path& arbre)
{
    return historique(arbre) / dossieroutil;
}

std::optional<Offre> offrecourante(const fs::path& arbre, const Signataire& s, const std::optional<Manifeste>& courante,
                                   std::string& erreur)
{
    std::error_code ec;
    if (!courante || !fs::exists(fs::symlink_status(arbre / nomoffre, ec)))
        return std::nullopt;
    const auto refus = [&](const std::string& pourquoi) {
        erreur = "the tree's offer of an updater cannot be trusted: " + pourquoi
                 + "; publish from the maker's copy of the tree, or remove " + nomoffre + " to offer none";
        return std::nullopt;
    };
    bool lu = true;
    const std::string texte = lit(arbre / nomoffre, taillemaxoffre, lu);
    const auto signature = lecturesignature(lit(arbre / nomsignatureoffre, taillemaxsignature, lu));
    const std::string manifeste = lit(arbre / nommanifeste, taillemaxmanifeste, lu);
    const auto cle = std::find_if(s.connues.begin(), s.connues.end(),
                                  [&](const ClePublique& c) { return c.cle == courante->cle; });
    if (!lu || !signature || signature->cle != courante->cle || cle == s.connues.end() || !s.verifie
        || !s.verifie(cle->publique, signature->rs, texte))
        return refus(std::string(nomoffre) + " does not verify with the key of the tree's current release");
    auto o = lectureoffre(texte, *courante, s.sha256(manifeste));
    if (!o)
        return refus(std::string(nomoffre) + " is not an offer of the tree's current release");
    const fs::path programme = arbre / cheminprogramme();
    const auto taille = fs::file_size(programme, ec);
    if (ec || taille != o->programme.taille || s.sha256fichier(programme) != o->programme.sha256)
        return refus(cheminprogramme() + " is no longer the program it offers");
    return o;
}

std::string prepareoffre(const fs::path& arbre, const Signataire& s, const std::optional<Manifeste>& courante,
                         const std::string& manifeste, const fs::path& programme, std::uint16_t machine,
                         const fs::path& provisoire, OffrePrete& o, std::vector<std::string>& remarques)
{
    std::string erreur;
    const auto actuelle = offrecourante(arbre, s, courante, erreur);
    if (!erreur.empty())
        return erreur;
    if (programme.empty() && !actuelle)
        return {};
    const fs::path source = programme.empty() ? arbre / cheminprogramme() : programme;
    const std::string qui = programme.empty() ? "the updater the tree offers (" + cheminprogramme() + ")"
                                              : "--updater " + programme.string();
    bool lu = true;
    const std::string octets = lit(source, taillemaxprogramme, lu);
    if (!lu)
        return qui + ": cannot be read, or more than " + std::to_string(taillemaxprogramme) + " bytes";
    std::uint64_t revision = 0;
    if (std::string pourquoi = refusprogramme(octets, programme.empty() ? 0 : machine, s, revision); !pourquoi.empty())
        return qui + ": " + pourquoi + (programme.empty() ? "; offer one that does with --updater" : "");
    if (!programme.empty() && actuelle && revision <= actuelle->revision)
        return qui + ": revision " + std::to_string(revision) + " is not above the revision "
               + std::to_string(actuelle->revision) + " the tree already offers";
    std::string raison;
    const auto m = lecturemanifeste(manifeste, raison);
    if (!m)
        return "the manifest just written cannot be read back (" + raison + ")";

    std::error_code ec;
    const fs::path dossier = provisoire / dossieroutil;
    fs::create_directories(dossier / dossierformes, ec);
    if (ec)
        return "cannot create " + (dossier / dossierformes).string() + ": " + ec.message();
    {
        std::ofstream f(dossier / nomprogramme, std::ios::binary);
        f.write(octets.data(), static_cast<std::streamsize>(octets.size()));
        if (!f)
            return "cannot write " + (dossier / nomprogramme).string();
    }
    Offre offre;
    offre.manifeste = s.sha256(manifeste);
    offre.cle = s.cle;
    offre.revision = revision;
    offre.programme = {octets.size(), s.sha256(octets)};
    // Deltas from the revisions the copies may hold: those offered before this one.
    std::vector<fs::path> depuis;
    for (std::uint64_t r : revisionsgardees(arbre))
        if (r < revision && depuis.size() < s.deltas)
            depuis.push_back(historiqueprogrammes(arbre) / std::to_string(r));
    std::vector<fs::path> ecrites;
    try {
        erreur = formesfichier({s, dossier, remarques}, dossier / nomprogramme,
                               {nomprogramme, offre.programme.taille, offre.programme.sha256}, depuis, offre.formes,
                               ecrites);
    } catch (const std::bad_alloc&) {
        remarques.push_back(cheminprogramme() + ": no cheaper form: not enough memory to make one");
        offre.formes = {};
        for (const fs::path& e : ecrites)
            fs::remove(e, ec);
    }
    if (!erreur.empty())
        return erreur;
    o.texte = ecritoffre(offre);
    if (o.texte.size() > taillemaxoffre || !lectureoffre(o.texte, *m, offre.manifeste))
        return "the offer of the updater cannot be read back";
    const std::string rs = s.signe(o.texte);
    if (rs.size() != 128)
        return "signing the offer of the updater failed";
    o.signature = ecritsignature({s.cle, rs});
    o.dossier = provisoire;
    o.revision = revision;
    return {};
}

void gardeprogramme(const fs::path& arbre, const OffrePrete& o, std::size_t combien)
{
    if (o.texte.empty() || combien == 0)
        return;
    std::error_code ec;
    const fs::path h = historiqueprogrammes(arbre);
    const fs::path dossier = h / std::to_string(o.revision);
    if (!fs::exists(dossier / nomprogramme, ec)) {
        const fs::path provisoire = h / ("." + std::to_string(o.revision));
        fs::remove_all(provisoire, ec);
        fs::create_directories(provisoire, ec);
        fs::copy_file(arbre / cheminprogramme(), provisoire / nomprogramme, fs::copy_options::overwrite_existing, ec);
        if (!ec)
            fs::rename(provisoire, dossier, ec);
        if (ec)
            fs::remove_all(provisoire, ec);
    }
    const auto revisions = revisionsgardees(arbre);
    for (std::size_t i = combien + 1; i < revisions.size(); ++i)
        fs::remove_all(h / std::to_string(revisions[i]), ec);
}

}  // namespace tidewell::publication
