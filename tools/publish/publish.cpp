#include "publish.h"

#include "forms.h"
#include "forms_make.h"
#include "rollout.h"
#include "updater_offer_make.h"
#include "manifest.h"
#include "rounding.h"
#include "text.h"
#include "zstd_forms.h"
#include "names.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <new>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace tidewell::publication {

namespace fs = std::filesystem;

namespace {

// The characters of code page 1252 from 0x80 to 0x9F, as Unicode; 0 where it has none.
constexpr char32_t zone80[32] = {
    0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
    0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178};

// Names travel unchanged into a web address and a Windows path: letters, digits and a few
// punctuation marks that need no encoding in either.
bool caracterenom(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')
           || std::string("._-+~()!$&',;=@").find(c) != std::string::npos;
}

// Writes `texte` exactly (no line-end translation).
bool ecrit(const fs::path& chemin, const std::string& texte)
{
    std::ofstream f(chemin, std::ios::binary | std::ios::trunc);
    f.write(texte.data(), static_cast<std::streamsize>(texte.size()));
    return static_cast<bool>(f);
}

// A value as the profile reader will give it back: at most `longueur` characters, no spaces
// around it, "¤" standing for a double quote (so a "¤" of its own cannot be written).
void verifievaleur(const char* cle, const std::string& utf8, std::size_t longueur,
                   std::string& valeur, std::vector<std::string>& erreurs)
{
    std::string cp;
    if (!versCP1252(utf8, cp)) {
        erreurs.push_back(std::string(cle) + ": a character has no place in code page 1252");
        return;
    }
    if (cp.find('\xA4') != std::string::npos)
        erreurs.push_back(std::string(cle) + ": the currency sign stands for a double quote and cannot be published");
    if (cp.size() > longueur)
        erreurs.push_back(std::string(cle) + ": " + std::to_string(cp.size()) + " characters, the updater reads "
                          + std::to_string(longueur));
    if (libmaj::sansespaces(cp) != cp)
        erreurs.push_back(std::string(cle) + ": spaces around the value would be lost");
    for (char c : cp)
        if (static_cast<unsigned char>(c) < 32)
            erreurs.push_back(std::string(cle) + ": control characters cannot be read back");
    std::replace(cp.begin(), cp.end(), '"', '\xA4');
    valeur = cp;
}

}  // namespace

bool versCP1252(const std::string& utf8, std::string& cp1252)
{
    cp1252.clear();
    for (std::size_t i = 0; i < utf8.size();) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        char32_t point;
        std::size_t n;
        if (c < 0x80) { point = c; n = 1; }
        else if ((c & 0xE0) == 0xC0) { point = c & 0x1F; n = 2; }
        else if ((c & 0xF0) == 0xE0) { point = c & 0x0F; n = 3; }
        else if ((c & 0xF8) == 0xF0) { point = c & 0x07; n = 4; }
        else return false;
        if (i + n > utf8.size())
            return false;
        for (std::size_t k = 1; k < n; ++k) {
            const unsigned char suite = static_cast<unsigned char>(utf8[i + k]);
            if ((suite & 0xC0) != 0x80)
                return false;
            point = (point << 6) | (suite & 0x3F);
        }
        i += n;
        if (point < 0x80 || (point >= 0xA0 && point <= 0xFF)) {
            cp1252 += static_cast<char>(point);
            continue;
        }
        const auto trouve = std::find(std::begin(zone80), std::end(zone80), point);
        if (point == 0 || trouve == std::end(zone80))
            return false;
        cp1252 += static_cast<char>(0x80 + (trouve - std::begin(zone80)));
    }
    return true;
}

namespace {

// What a publication writes, checked and ready.
struct Contenu {
    std::vector<std::pair<std::string, fs::path>> fichiers;
    std::string liste, taille, version;
    std::string manifeste, signature;   // empty for an unsigned publication
    std::uint64_t edition = 0;
    // Signed only: the folder whose Formes/ holds the forms as they were made and checked,
    // moved into the new tree whole; their list and its signature.
    fs::path formes;
    std::string listeformes, signatureformes;
    OffrePrete offre;   // the updater the release offers, if any
    // Signed only: the share of the copies that may install it, and its signature; empty for
    // every copy.
    std::string deploiement, signaturedeploiement;
};

// Why the updater would mishandle a release file of this name; null when it would not.
const char* nomreserve(const std::string& nom)
{
    const std::string n = libmaj::majuscules(nom);
    if (n == "VERSION.INI" || n == "LISTFICH.INI" || n == "TAILLEFICH.INI")
        return "the name of one of the update's own files, which the run overwrites or deletes";
    if (n == "TIDEWELL.INI")
        return "the updater's settings file: a release must not choose which application a folder is";
    if (n == "ETATMAJ.INI")
        return "the updater's record of the last signed release installed";
    if (n == "TIRAGEMAJ.INI")
        return "the number the updater drew, which decides whether a release staged to a share is for this copy";
    if (n == "JOURNALMAJ.INI")
        return "the updater's journal of an install under way, which it reads to finish an interrupted one";
    if (n == "VERROUMAJ.INI")
        return "the updater's lock on the folder while it installs";
    if (n == "TIDEWELL.~NEUF.EXE")
        return "the name a newer updater waits under before it takes the updater's place";
    if (n == "TIDEWELL.EXE")
        return "the updater's own program is not a file of the release: offer a new updater with --updater";
    return nullptr;
}

// A name beside the live tree that no other publication uses.
fs::path voisin(const fs::path& arbre, const std::string& sorte)
{
    static unsigned compteur = 0;
    const auto instant = std::chrono::system_clock::now().time_since_epoch().count();
    return arbre.parent_path()
           / ("." + arbre.filename().string() + "." + sorte + "-" + std::to_string(instant) + "-"
              + std::to_string(++compteur));
}

// Writes the release's share into `dossier`, in place of any there: a file of a tree copied
// by links is the live tree's too, and is never written through.
std::string ecritdeploiementdans(const fs::path& dossier, const Contenu& c)
{
    if (c.deploiement.empty())
        return {};
    std::error_code ec;
    fs::remove(dossier / nomdeploiement, ec);
    fs::remove(dossier / nomsignaturedeploiement, ec);
    if (!ecrit(dossier / nomdeploiement, c.deploiement) || !ecrit(dossier / nomsignaturedeploiement, c.signaturedeploiement))
        return "cannot write the share of the release in " + dossier.string();
    return {};
}

// Copies the live tree `arbre` into `dossier`: its folders made, its files linked where the
// volume allows it and copied otherwise. Anything else in it (a link, which could lead out of
// the tree) is refused, never followed.
std::string copiearbre(const fs::path& arbre, const fs::path& dossier)
{
    std::error_code ec;
    fs::create_directory(dossier, ec);
    for (fs::recursive_directory_iterator it(arbre, ec), fin; !ec && it != fin; it.increment(ec)) {
        const fs::path vers = dossier / it->path().lexically_relative(arbre);
        const fs::file_type sorte = it->symlink_status(ec).type();
        if (sorte == fs::file_type::directory)
            fs::create_directory(vers, ec);
        else if (sorte != fs::file_type::regular)
            return it->path().string() + " is neither a file nor a folder: publish the release again";
        else if (fs::create_hard_link(it->path(), vers, ec); ec)
            fs::copy_file(it->path(), vers, ec);
    }
    return ec ? "cannot copy the live tree: " + ec.message() : std::string();
}

// Writes the whole tree into `dossier`; an error text, empty when all is written.
std::string ecritarbre(const fs::path& dossier, const Contenu& c)
{
    std::error_code ec;
    fs::create_directories(dossier / "Maj", ec);
    if (ec)
        return "cannot create " + (dossier / "Maj").string() + ": " + ec.message();
    for (const auto& [nom, source] : c.fichiers) {
        fs::copy_file(source, dossier / "Maj" / nom, fs::copy_options::overwrite_existing, ec);
        if (ec)
            return "cannot copy " + source.string() + ": " + ec.message();
    }
    if (!ecrit(dossier / "Listfich.ini", c.liste) || !ecrit(dossier / "Taillefich.ini", c.taille)
        || !ecrit(dossier / "Version.ini", c.version))
        return "cannot write the server tree in " + dossier.string();
    if (!c.manifeste.empty()
        && (!ecrit(dossier / nommanifeste, c.manifeste) || !ecrit(dossier / nomsignature, c.signature)))
        return "cannot write the manifest in " + dossier.string();
    if (!c.listeformes.empty()) {
        fs::rename(c.formes / dossierformes, dossier / dossierformes, ec);
        if (ec)
            return "cannot move the cheaper forms into " + dossier.string() + ": " + ec.message();
        if (!ecrit(dossier / nomformes, c.listeformes) || !ecrit(dossier / nomsignatureformes, c.signatureformes))
            return "cannot write the list of forms in " + dossier.string();
    }
    if (!c.offre.texte.empty()) {
        fs::rename(c.offre.dossier / dossieroutil, dossier / dossieroutil, ec);
        if (ec)
            return "cannot move the offered updater into " + dossier.string() + ": " + ec.message();
        if (!ecrit(dossier / nomoffre, c.offre.texte) || !ecrit(dossier / nomsignatureoffre, c.offre.signature))
            return "cannot write the offer of the updater in " + dossier.string();
    }
    return ecritdeploiementdans(dossier, c);
}

// Writes the new tree beside the live one, then puts it in the live one's place. The live
// tree is a symbolic link to the current release's folder, replaced by one rename, so that a
// server following it shows the whole old release or the whole new one. A live tree that is
// still a plain folder is moved aside first (the one time the tree is missing for a moment);
// where no link can be made (Windows without the right to) the folders are swapped by two
// renames every time. An error leaves the live tree as it was.
std::string bascule(const fs::path& arbre, const std::function<std::string(const fs::path&)>& ecrire)
{
    std::error_code ec;
    const fs::path nouveau = voisin(arbre, "release");
    const std::string erreur = ecrire(nouveau);
    if (!erreur.empty()) {
        fs::remove_all(nouveau, ec);
        return erreur + "; the live tree is as it was";
    }
    const bool lien = fs::is_symlink(arbre, ec);
    const bool present = fs::exists(fs::symlink_status(arbre, ec));
    fs::path ancien;   // what the live tree held, removed once the new one is in place
    if (lien) {
        // Only a release folder this tool made beside the tree goes: a link to anything else
        // (made by hand, or by whoever can write the tree) leaves what it points to alone.
        const fs::path cible = fs::read_symlink(arbre, ec);
        const std::string propre = "." + arbre.filename().string() + ".release-";
        if (!ec && cible.is_relative() && !cible.has_parent_path() && cible.string().rfind(propre, 0) == 0)
            ancien = arbre.parent_path() / cible;
    }
    fs::path enplace = nouveau;   // what takes the live tree's name
    const fs::path lienneuf = voisin(arbre, "link");
    fs::create_directory_symlink(nouveau.filename(), lienneuf, ec);
    if (!ec)
        enplace = lienneuf;
    else if (lien) {
        fs::remove_all(nouveau, ec);
        return "cannot make a symbolic link beside " + arbre.string() + "; the live tree is as it was";
    }
    if (present && !lien) {
        ancien = voisin(arbre, "previous");
        fs::rename(arbre, ancien, ec);
        if (ec) {
            const std::string pourquoi = ec.message();
            fs::remove(lienneuf, ec);
            fs::remove_all(nouveau, ec);
            return "cannot move " + arbre.string() + " aside: " + pourquoi + "; the live tree is as it was";
        }
    }
    fs::rename(enplace, arbre, ec);
    if (ec) {
        const std::string pourquoi = ec.message();
        if (present && !lien)
            fs::rename(ancien, arbre, ec);
        fs::remove(lienneuf, ec);
        fs::remove_all(nouveau, ec);
        return "cannot put the new release in place: " + pourquoi + "; the live tree is as it was";
    }
    if (!ancien.empty())
        fs::remove_all(ancien, ec);
    return {};
}

std::string bascule(const fs::path& arbre, const Contenu& c)
{
    return bascule(arbre, [&c](const fs::path& dossier) { return ecritarbre(dossier, c); });
}

// The whole file; `lu` turns false when it cannot be opened.
std::string lit(const fs::path& chemin, bool& lu)
{
    std::ifstream f(chemin, std::ios::binary);
    std::string texte(std::istreambuf_iterator<char>(f), {});
    lu = lu && f.is_open();
    return texte;
}

// How far above the tree's current release a publication may number the next one.
constexpr std::uint64_t sautmax = 1000;

// What a tree file is against what the manifest signed: empty when the same, otherwise the
// words for the difference.
std::string ecart(const fs::path& fichier, const std::string& nom, const Empreinte& signe, const Signataire& s)
{
    std::error_code ec;
    const auto taille = fs::file_size(fichier, ec);
    if (ec)
        return nom + " is missing or cannot be read";
    const std::string empreinte = taille == signe.taille ? s.sha256fichier(fichier) : std::string("(not read)");
    if (taille == signe.taille && empreinte == signe.sha256)
        return {};
    return nom + " is " + std::to_string(taille) + " bytes of SHA-256 " + empreinte + ", the manifest signed "
           + std::to_string(signe.taille) + " bytes of SHA-256 " + signe.sha256;
}

// The tree's current signed release, trusted: its manifest's signature verifies with one of
// the keys the maker named, and every update file and file is still what it signed. Nothing,
// and no error, when the tree holds no manifest; otherwise `erreur` says what is wrong.
std::optional<Manifeste> releasecourante(const fs::path& arbre, const Signataire& s, std::string& erreur)
{
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(arbre / nommanifeste, ec)))
        return std::nullopt;
    const auto refus = [&](const std::string& pourquoi) {
        erreur = "the tree's current release cannot be trusted: " + pourquoi
                 + "; publish from the maker's copy of the tree, or remove the tree and give --release-number";
        return std::nullopt;
    };
    bool lu = true;
    const std::string texte = lit(arbre / nommanifeste, lu);
    const std::string signature = lit(arbre / nomsignature, lu);
    const auto sig = lu ? lecturesignature(signature) : std::nullopt;
    if (!sig)
        return refus(std::string(nomsignature) + " is missing or malformed");
    const auto cle = std::find_if(s.connues.begin(), s.connues.end(), [&](const ClePublique& c) { return c.cle == sig->cle; });
    if (cle == s.connues.end())
        return refus("it is signed by key " + std::to_string(sig->cle)
                     + ", which is neither the signing key's id nor that of --previous-public-key");
    if (!s.verifie || !s.verifie(cle->publique, sig->rs, texte))
        return refus(std::string(nommanifeste) + " does not verify with key " + std::to_string(sig->cle)
                     + ": it was changed after it was signed, or signed by another key");
    std::string raison;
    auto m = lecturemanifeste(texte, raison);
    if (!m)
        return refus(std::string(nommanifeste) + " cannot be read (" + raison + ")");
    if (m->cle != sig->cle)
        return refus(std::string(nommanifeste) + " names key " + std::to_string(m->cle) + " but is signed by key "
                     + std::to_string(sig->cle));
    if (m->cible != libmaj::majuscules(arbre.filename().string()))
        return refus(std::string(nommanifeste) + " is " + m->cible + "'s, not this tree's");
    for (const auto& p : m->pages)
        if (const std::string e = ecart(arbre / p.nom, p.nom, p, s); !e.empty())
            return refus(e);
    for (const auto& f : m->fichiers)
        if (const std::string e = ecart(arbre / "Maj" / f.nom, "Maj/" + f.nom, f, s); !e.empty())
            return refus(e);
    return m;
}

// The tree's current signed release, trusted; nothing, with `erreur` set, when it has none.
std::optional<Manifeste> releasesignee(const fs::path& arbre, const Signataire& s, std::string& erreur)
{
    auto courante = releasecourante(arbre, s, erreur);
    if (!courante && erreur.empty())
        erreur = "no signed tree at " + arbre.string();
    return courante;
}

// Signs the content: the manifest of the three update files and every listed file, and its
// signature, after the tree's trusted current release `courante` (if any). An error text,
// empty when signed.
std::string signecontenu(Contenu& c, const fs::path& arbre, const Signataire& s, const std::optional<Manifeste>& courante)
{
    Manifeste m;
    m.cible = libmaj::majuscules(arbre.filename().string());
    if (m.cible != "ABACOR" && m.cible != "QUILLON")
        return "a signed tree must be named Abacor or Quillon (the manifest names its target)";
    // A tree without a release says nothing of the numbers the installed copies recorded.
    if (!courante && !s.edition)
        return "the tree holds no signed release: give --release-number, above the last one published for "
               "this application";
    const std::uint64_t precedente = courante ? courante->edition : 0;
    m.edition = s.edition ? s.edition : precedente + 1;
    if (m.edition > editionmax)
        return "release number " + std::to_string(m.edition) + " is above the highest, " + std::to_string(editionmax);
    if (m.edition <= precedente)
        return "release number " + std::to_string(m.edition) + " is not above the tree's current "
               + std::to_string(precedente);
    // A slip of the finger must not use up the numbers the releases to come need.
    if (courante && m.edition - precedente > sautmax)
        return "release number " + std::to_string(m.edition) + " is more than " + std::to_string(sautmax)
               + " above the tree's current " + std::to_string(precedente);
    if (courante && s.cle < courante->cle)
        return "key id " + std::to_string(s.cle) + " is below the id " + std::to_string(courante->cle)
               + " of the key that signed the tree's current release, which every copy that installed it has retired";
    m.expire = s.expire;
    m.cle = s.cle;
    for (const auto& [nom, texte] : {std::pair<const char*, const std::string*>{"Version.ini", &c.version},
                                     {"Listfich.ini", &c.liste}, {"Taillefich.ini", &c.taille}})
        m.pages.push_back({nom, texte->size(), s.sha256(*texte)});
    for (const auto& [nom, source] : c.fichiers) {
        std::error_code ec;
        const auto taille = fs::file_size(source, ec);
        const std::string empreinte = s.sha256fichier(source);
        if (ec || empreinte.size() != 64)
            return "cannot read " + source.string() + " to hash it";
        m.fichiers.push_back({nom, taille, empreinte});
    }
    c.manifeste = ecritmanifeste(m);
    if (c.manifeste.size() > taillemaxmanifeste)
        return "the manifest would be " + std::to_string(c.manifeste.size()) + " bytes, more than the "
               + std::to_string(taillemaxmanifeste) + " the updater reads: shorten the file names";
    const std::string rs = s.signe(c.manifeste);
    if (rs.size() != 128)
        return "signing the manifest failed";
    c.signature = ecritsignature({s.cle, rs});
    c.edition = m.edition;
    return {};
}

// The share of the tree's trusted current release `m` (manifest of exact bytes `texte`) as the
// tree holds it: nothing, and no error, when the tree has no rollout file; nothing, with
// `erreur` set, when the one it has is not that release's, signed by its key.
std::optional<Deploiement> deploiementcourant(const fs::path& arbre, const Manifeste& m, const std::string& texte,
                                              const Signataire& s, std::string& erreur)
{
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(arbre / nomdeploiement, ec)))
        return std::nullopt;
    bool lu = true;
    const std::string deploiement = lit(arbre / nomdeploiement, lu);
    const auto sig = lecturesignature(lit(arbre / nomsignaturedeploiement, lu));
    const auto cle = std::find_if(s.connues.begin(), s.connues.end(), [&](const ClePublique& c) { return c.cle == m.cle; });
    auto d = lu && sig && sig->cle == m.cle && cle != s.connues.end() && s.verifie
                     && s.verifie(cle->publique, sig->rs, deploiement)
                 ? lecturedeploiement(deploiement, m, s.sha256(texte))
                 : std::nullopt;
    if (!d)
        erreur = std::string("the tree's ") + nomdeploiement + " is not its current release's, signed by key "
                 + std::to_string(m.cle) + ": copies take the release as not yet for them";
    return d;
}

// Signs the share `part` of the signed content's release, as the `sequence`-th word on it.
std::string signedeploiement(Contenu& c, const Signataire& s, std::uint32_t part, std::uint64_t sequence)
{
    if (sequence > editionmax)
        return "the release's share has been changed " + std::to_string(editionmax)
               + " times: publish it again under a new number";
    c.deploiement = ecritdeploiement({s.sha256(c.manifeste), s.cle, sequence, part});
    const std::string rs = s.signe(c.deploiement);
    if (rs.size() != 128)
        return "signing the share failed";
    c.signaturedeploiement = ecritsignature({s.cle, rs});
    return {};
}

// The releases whose files deltas start from, newest first: the tree's current one (trusted
// and checked) unless it is the one signed again, and those the history keeps below it, at
// most `combien`. A number at or above the current one is no earlier release (a tree put back
// from an older copy left it), and a tree without a release starts its history again.
std::vector<fs::path> bases(const fs::path& arbre, const std::optional<Manifeste>& courante, std::size_t combien,
                            bool resignature)
{
    std::vector<fs::path> dossiers;
    if (combien == 0 || !courante)
        return dossiers;
    // Signed again, the tree's current files are the ones signed: no base for themselves.
    if (!resignature)
        dossiers.push_back(arbre / "Maj");
    std::vector<std::uint64_t> editions;
    std::error_code ec;
    for (fs::directory_iterator it(historique(arbre), ec), fin; !ec && it != fin; it.increment(ec))
        if (const auto e = entierstrict(it->path().filename().string()); e && *e < courante->edition)
            editions.push_back(*e);
    std::sort(editions.rbegin(), editions.rend());
    for (std::uint64_t e : editions)
        dossiers.push_back(historique(arbre) / std::to_string(e));
    if (dossiers.size() > combien)
        dossiers.resize(combien);
    return dossiers;
}

// The cheaper forms of the signed content's files, written into `provisoire`, their list
// bound to its manifest, and the list's signature. An error text, empty when done.
std::string prepareformes(Contenu& c, const fs::path& arbre, const Signataire& s, const std::optional<Manifeste>& courante,
                          bool resignature, const fs::path& provisoire, std::vector<std::string>& remarques)
{
    std::string raison;
    const auto m = lecturemanifeste(c.manifeste, raison);
    if (!m)
        return "the manifest just written cannot be read back (" + raison + ")";
    Formes formes;
    formes.manifeste = s.sha256(c.manifeste);
    formes.cle = s.cle;
    formes.fichiers.resize(m->fichiers.size());
    std::error_code ec;
    c.formes = provisoire;
    fs::create_directories(provisoire / dossierformes, ec);
    if (ec)
        return "cannot create " + (provisoire / dossierformes).string() + ": " + ec.message();
    const Fabrique fab{s, provisoire, remarques};
    const std::vector<fs::path> depuis = bases(arbre, courante, s.deltas, resignature);
    for (std::size_t i = 0; i < m->fichiers.size(); ++i) {
        const Empreinte& f = m->fichiers[i];
        if (f.taille > s.tailleformes) {
            remarques.push_back(f.nom + ": no cheaper form: " + std::to_string(f.taille) + " bytes, above the "
                                + std::to_string(s.tailleformes) + " the updater takes forms of");
            continue;
        }
        // Forms are a saving, never a condition: one that cannot be made, for want of
        // memory or otherwise, leaves the file to come whole.
        FormesFichier ff;
        std::vector<fs::path> ecrites;
        try {
            if (auto e = formesfichier(fab, c.fichiers[i].second, f, depuis, ff, ecrites); !e.empty())
                return e;
        } catch (const std::bad_alloc&) {
            remarques.push_back(f.nom + ": no cheaper form: not enough memory to make one");
            ff = {};
            for (const fs::path& e : ecrites)
                fs::remove(e, ec);
        }
        formes.fichiers[i] = ff;
    }
    c.listeformes = ecritformes(formes);
    if (c.listeformes.size() > taillemaxformes || !lectureformes(c.listeformes, *m, formes.manifeste))
        return "the list of forms cannot be read back";
    const std::string rs = s.signe(c.listeformes);
    if (rs.size() != 128)
        return "signing the list of forms failed";
    c.signatureformes = ecritsignature({s.cle, rs});
    return {};
}

// Keeps the files of the release just published beside the tree, for the deltas of the next
// ones, checked against its manifest, with those of the `combien` releases before it, whose
// files are the bases of its own deltas (so that --check can find each one); lets go of the
// older ones, of any numbered above it (a tree put back from an older copy), and of what a
// publication killed while it wrote the history left. Without deltas nothing is kept. Deltas
// are a saving, not a promise: a history that cannot be written costs the next release its
// deltas only.
void gardehistorique(const fs::path& arbre, const Contenu& c, const Signataire& s, std::size_t combien)
{
    std::error_code ec;
    const fs::path h = historique(arbre);
    if (combien == 0) {
        fs::remove_all(h, ec);
        return;
    }
    std::vector<std::uint64_t> editions;
    std::vector<fs::path> restes;
    for (fs::directory_iterator it(h, ec), fin; !ec && it != fin; it.increment(ec)) {
        const auto e = entierstrict(it->path().filename().string());
        if (e && *e < c.edition)
            editions.push_back(*e);
        else if (it->path() != historiqueprogrammes(arbre))
            restes.push_back(it->path());
    }
    for (const auto& r : restes)
        fs::remove_all(r, ec);
    ec.clear();
    std::string raison;
    const auto m = lecturemanifeste(c.manifeste, raison);
    const fs::path dossier = h / std::to_string(c.edition);
    const fs::path provisoire = h / ("." + std::to_string(c.edition));
    fs::create_directories(provisoire, ec);
    // From what the tree now serves, each copy checked against what the manifest signed.
    for (std::size_t i = 0; m && !ec && i < m->fichiers.size(); ++i) {
        const fs::path copie = provisoire / m->fichiers[i].nom;
        fs::copy_file(arbre / "Maj" / m->fichiers[i].nom, copie, fs::copy_options::overwrite_existing, ec);
        if (!ec && s.sha256fichier(copie) != m->fichiers[i].sha256)
            ec = std::make_error_code(std::errc::io_error);
    }
    if (m && !ec)
        fs::rename(provisoire, dossier, ec);
    if (!m || ec)
        fs::remove_all(provisoire, ec);
    else
        editions.push_back(c.edition);
    std::sort(editions.rbegin(), editions.rend());
    for (std::size_t i = combien + 1; i < editions.size(); ++i)
        fs::remove_all(h / std::to_string(editions[i]), ec);
}

// A release signed again keeps its files' place in the history under its new number.
void renommehistorique(const fs::path& arbre, std::uint64_t avant, std::uint64_t apres)
{
    std::error_code ec;
    const fs::path h = historique(arbre);
    if (fs::is_directory(h / std::to_string(avant), ec))
        fs::rename(h / std::to_string(avant), h / std::to_string(apres), ec);
}

// A folder beside the tree that goes however the publication ends.
struct Provisoire {
    fs::path chemin;
    ~Provisoire()
    {
        std::error_code ec;
        fs::remove_all(chemin, ec);
    }
};

Resultat verifieetpublie(const Release& release, const fs::path& arbre, const Signataire* signataire)
{
    Resultat r;
    std::error_code ec;
    if (!fs::is_directory(release.dossier, ec)) {
        r.erreurs.push_back("no release folder at " + release.dossier.string());
        return r;
    }
    std::vector<std::pair<std::string, fs::path>> fichiers;
    unsigned long long octets = 0;
    for (const auto& entree : fs::directory_iterator(release.dossier)) {
        const std::string nom = entree.path().filename().string();
        if (entree.is_directory()) {
            r.erreurs.push_back(nom + ": the updater does not create folders; publish the files of a folder "
                                      "only where the application already has that folder");
            continue;
        }
        if (!std::all_of(nom.begin(), nom.end(), caracterenom)) {
            r.erreurs.push_back(nom + ": a name the updater would not fetch unchanged (letters, digits and ._-+~()!$&',;=@ only)");
            continue;
        }
        if (const char* pourquoi = nomreserve(nom)) {
            r.erreurs.push_back(nom + ": " + pourquoi);
            continue;
        }
        if (signataire && libmaj::majuscules(nom) == libmaj::majuscules(nomjournalexecution)) {
            r.erreurs.push_back(nom + ": the log a signed updater keeps beside itself");
            continue;
        }
        if (!nomsur(nom)) {
            r.erreurs.push_back(nom + ": a name the updater passes over: a device name, a name ending in a dot, "
                                      "or one of the updater's own backups (.sav) or partial downloads (.~maj)");
            continue;
        }
        octets += entree.file_size();
        fichiers.emplace_back(nom, entree.path());
    }
    if (fichiers.empty() && r.erreurs.empty())
        r.erreurs.push_back("the release folder holds no file");
    if (fichiers.size() > placesliste)
        r.erreurs.push_back(std::to_string(fichiers.size()) + " files: the updater installs at most "
                            + std::to_string(placesliste));
    std::string version, sousversion, date;
    verifievaleur("Version", release.version, 9, version, r.erreurs);
    verifievaleur("SousVersion", release.sousversion, 9, sousversion, r.erreurs);
    verifievaleur("Date", release.date, 14, date, r.erreurs);
    if (release.version.empty())
        r.erreurs.push_back("Version: a version is needed");
    if (!r.erreurs.empty())
        return r;

    std::sort(fichiers.begin(), fichiers.end());
    r.kilooctets = static_cast<long long>(libmaj::arrondi(static_cast<double>(octets) / 1024.0));
    std::string liste;
    for (const auto& f : fichiers) {
        liste += f.first + "\r\n";
        r.fichiers.push_back(f.first);
    }
    Contenu contenu{fichiers, liste, std::to_string(r.kilooctets) + "\r\n",
                    "[Version]\r\nVersion=" + version + "\r\nSousVersion=" + sousversion + "\r\nDate=" + date
                        + "\r\n", {}, {}, 0, {}, {}, {}, {}, {}, {}};
    std::string erreur;
    bool nouvelarbre = false;
    const Provisoire formes{voisin(arbre, "forms")}, outil{voisin(arbre, "updater")};
    if (signataire) {
        const auto courante = releasecourante(arbre, *signataire, erreur);
        nouvelarbre = !courante;
        if (erreur.empty())
            erreur = signecontenu(contenu, arbre, *signataire, courante);
        if (erreur.empty())
            erreur = prepareformes(contenu, arbre, *signataire, courante, false, formes.chemin, r.remarques);
        if (erreur.empty())
            erreur = prepareoffre(arbre, *signataire, courante, contenu.manifeste, release.programme, release.machine,
                                  outil.chemin, contenu.offre, r.remarques);
        // A new release is for every copy unless the maker stages it.
        if (erreur.empty() && signataire->part)
            erreur = signedeploiement(contenu, *signataire, *signataire->part, std::max<std::uint64_t>(1, signataire->minute));
    } else if (!release.programme.empty()) {
        erreur = "an updater is offered by a signed release only: give --key";
    } else if (!release.sanssignature && fs::exists(fs::symlink_status(arbre / nommanifeste, ec))) {
        erreur = "the tree holds a signed release, and every signed client refuses an unsigned one: sign with "
                 "--key, or give --unsigned to publish unsigned all the same";
    }
    if (erreur.empty())
        erreur = bascule(arbre, contenu);
    if (!erreur.empty()) {
        r.erreurs.push_back(erreur);
        r.fichiers.clear();
    } else if (signataire) {
        // A tree that starts again (a new folder, or one removed) starts a history of its
        // own: an older one's release numbers would outrank its releases.
        if (nouvelarbre)
            fs::remove_all(historique(arbre), ec);
        gardehistorique(arbre, contenu, *signataire, signataire->deltas);
        gardeprogramme(arbre, contenu.offre, signataire->deltas);
    }
    r.edition = contenu.edition;
    return r;
}

Resultat resigneetpublie(const fs::path& arbre, const Signataire& signataire)
{
    Resultat r;
    std::string erreur;
    const auto courante = releasesignee(arbre, signataire, erreur);
    if (!erreur.empty()) {
        r.erreurs.push_back(erreur);
        return r;
    }
    bool lu = true;
    Contenu c;
    c.liste = lit(arbre / "Listfich.ini", lu);
    c.taille = lit(arbre / "Taillefich.ini", lu);
    c.version = lit(arbre / "Version.ini", lu);
    for (const auto& f : courante->fichiers)
        c.fichiers.emplace_back(f.nom, arbre / "Maj" / f.nom);
    // A staged release stays staged as far as it is, unless the maker gives another share;
    // under its new number its sequence starts again.
    std::optional<std::uint32_t> part = signataire.part;
    if (!part)
        if (const auto avant = deploiementcourant(arbre, *courante, lit(arbre / nommanifeste, lu), signataire, erreur))
            part = avant->part;
    if (!part && !erreur.empty())
        erreur += "; give the share with --rollout";
    else
        erreur = signecontenu(c, arbre, signataire, courante);
    if (erreur.empty()) {
        // Only what was signed is signed again, even should the tree change while it is read.
        std::string raison;
        const auto nouveau = lecturemanifeste(c.manifeste, raison);
        if (!lu || !nouveau || nouveau->pages != courante->pages || nouveau->fichiers != courante->fichiers)
            erreur = "the tree is no longer what its manifest signed; publish the release again";
    }
    const Provisoire formes{voisin(arbre, "forms")}, outil{voisin(arbre, "updater")};
    if (erreur.empty())
        erreur = prepareformes(c, arbre, signataire, courante, true, formes.chemin, r.remarques);
    if (erreur.empty())
        erreur = prepareoffre(arbre, signataire, courante, c.manifeste, {}, 0, outil.chemin, c.offre, r.remarques);
    if (erreur.empty() && part)
        erreur = signedeploiement(c, signataire, *part, std::max<std::uint64_t>(1, signataire.minute));
    if (erreur.empty())
        erreur = bascule(arbre, c);
    if (!erreur.empty()) {
        r.erreurs.push_back(erreur);
        return r;
    }
    renommehistorique(arbre, courante->edition, c.edition);
    for (const auto& f : courante->fichiers)
        r.fichiers.push_back(f.nom);
    r.edition = c.edition;
    return r;
}

}  // namespace


Resultat deploieetpublie(const fs::path& arbre, const Signataire& signataire)
{
    Resultat r;
    std::string erreur;
    const auto courante = releasesignee(arbre, signataire, erreur);
    if (courante && courante->cle != signataire.cle)
        erreur = "the tree's current release is signed by key " + std::to_string(courante->cle)
                 + ": change its share with that key, or sign it again with --resign";
    if (!erreur.empty()) {
        r.erreurs.push_back(erreur);
        return r;
    }
    Contenu c;
    bool lu = true;
    c.manifeste = lit(arbre / nommanifeste, lu);
    // Only the release just verified gets the share, even should the tree change meanwhile.
    std::string raison;
    const auto relu = lecturemanifeste(c.manifeste, raison);
    if (!lu || !relu || relu->edition != courante->edition || relu->pages != courante->pages
        || relu->fichiers != courante->fichiers)
        erreur = "the tree changed while it was read; change the share again";
    const auto avant = erreur.empty() ? deploiementcourant(arbre, *courante, c.manifeste, signataire, erreur)
                                      : std::nullopt;
    if (!avant && !erreur.empty() && lu && relu)
        erreur += "; its sequence cannot be trusted either: sign the release again with --resign and --rollout, "
                  "which gives it a new number and starts the sequence again";
    // Above the tree's last word, and above any the maker's clock could have given before: a
    // tree put back from a backup, or kept on another machine, still says something newer.
    const std::uint64_t sequence = std::max<std::uint64_t>(avant ? avant->sequence + 1 : 1, signataire.minute);
    if (erreur.empty())
        erreur = signedeploiement(c, signataire, *signataire.part, sequence);
    // The new tree is the live one's files and the new share: it is switched in whole, as
    // every publication is, and only for the release just verified.
    if (erreur.empty())
        erreur = bascule(arbre, [&](const fs::path& dossier) {
            std::string e = copiearbre(arbre, dossier);
            bool ouvert = true;
            if (e.empty() && lit(dossier / nommanifeste, ouvert) != c.manifeste)
                e = "the tree changed while it was read; change the share again";
            return e.empty() ? ecritdeploiementdans(dossier, c) : e;
        });
    if (!erreur.empty()) {
        r.erreurs.push_back(erreur);
        return r;
    }
    for (const auto& f : courante->fichiers)
        r.fichiers.push_back(f.nom);
    r.edition = courante->edition;
    r.sequence = sequence;
    return r;
}

namespace {

// Held while a publication reads and switches the tree: two at once would each build on what
// the other replaces (a share signed for a release no longer there, two shares of one
// sequence). A lock the platform gives up with the process, on the folder that holds the
// tree, which leaves nothing behind.
class Verrou {
public:
    explicit Verrou(const fs::path& arbre)
    {
#ifndef _WIN32
        const fs::path parent = arbre.parent_path();
        fd_ = ::open(parent.empty() ? "." : parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd_ >= 0)
            ::flock(fd_, LOCK_EX);
#endif
    }
    ~Verrou()
    {
#ifndef _WIN32
        if (fd_ >= 0)
            ::close(fd_);
#endif
    }
    Verrou(const Verrou&) = delete;
    Verrou& operator=(const Verrou&) = delete;

private:
    int fd_ = -1;
};

// What `faire` gives, the tree locked; an exception it throws as the one refusal, `quoi`
// failed.
template <class Faire>
Resultat sansexception(const fs::path& arbre, const char* quoi, const Faire& faire)
{
    const Verrou verrou(arbre);
    try {
        return faire();
    } catch (const std::exception& e) {
        Resultat r;
        r.erreurs.push_back(std::string(quoi) + " failed, the live tree is as it was: " + e.what());
        return r;
    }
}

}  // namespace

Resultat deploie(const fs::path& arbre, const Signataire& signataire)
{
    return sansexception(arbre, "changing the share", [&] { return deploieetpublie(arbre, signataire); });
}

Resultat resigne(const fs::path& arbre, const Signataire& signataire)
{
    return sansexception(arbre, "signing again", [&] { return resigneetpublie(arbre, signataire); });
}

Resultat publie(const Release& release, const fs::path& arbre, const Signataire* signataire)
{
    return sansexception(arbre, "publishing", [&] { return verifieetpublie(release, arbre, signataire); });
}

}  // namespace tidewell::publication
