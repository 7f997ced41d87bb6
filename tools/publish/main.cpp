// tidewell-publish: writes the update server's tree for one application from a release.
//   tidewell-publish --release DIR --out DIR --version V [--subversion S] [--date D]
//                    [--key KEY.pem [--key-id N] [--release-number N] [--expires DAYS]
//                     [--previous-public-key ID:KEY] [--deltas K]
//                     [--updater Tidewell.exe [--updater-machine i386|x86_64]] [--rollout PERCENT] | --unsigned]
//   tidewell-publish --resign DIR --key KEY.pem [--key-id N] [--release-number N] [--expires DAYS]
//                    [--previous-public-key ID:KEY] [--deltas K] [--rollout PERCENT]
//   tidewell-publish --out DIR --rollout PERCENT --key KEY.pem [--key-id N]
//   tidewell-publish --print-public-key KEY.pem [--key-id N]
//   tidewell-publish --check URL --public-key ID:KEY [--ca FILE] [--tree DIR | --min-release N [--min-key K]]
// DIR/Maj holds the files afterwards; Listfich.ini, Taillefich.ini and Version.ini sit beside
// it, and with --key the signed Manifeste.ini and Signature.ini, and each file compressed and
// as deltas from its versions in the last K releases (default 3) under Formes/, listed in the
// signed Formes.ini; the files of the release and of those K are kept in .DIR.history beside
// the tree, which is not uploaded. Upload the tree as <server>/Abacor or <server>/Quillon.
// With --updater the release offers that new updater to the copies (Outil/Tidewell.exe and its
// forms, described in the signed OffreMaj.ini): a Windows GUI program of the machine given
// (i386 unless told), with a revision above the tree's last offer, that carries the signing
// key; every later release offers it again until a newer one comes.
// The private key never goes into the tree. --resign signs a published tree again (a new
// expiry, release number or key) without changing its files.
// --rollout stages the release: only that share of the copies (0 to 100 %, to 0.01 %) installs
// it, each by the number it drew once; in the signed Deploiement.ini, whose sequence rises at
// each change, so that no server can widen it. Given alone with --out, it changes the share
// of the tree's current release, signing that file alone with the release's key; a release
// published without it is for every copy, and one signed again keeps its share.
// A tree's current signed release is trusted only when it verifies with the signing key's
// public key or the one --previous-public-key gives (at a rotation: as --print-public-key
// printed it), and its files are still what it signed.
// --check fetches what the server serves at URL (the application's folder, e.g.
// https://host/Abacor, whose last segment names the target) over verified HTTPS, trusting the
// system's certificates or only those of --ca, and judges it as a signed updater does with
// that public key, then checks every listed file and cheaper form too. It prints a line for
// each problem and a closing line, and exits 0 only when a signed updater would install the
// release and its forms are sound, 1 otherwise, 2 for a usage error. With --tree (the maker's
// master copy) or --min-release and --min-key it also refuses, as installed copies do, a
// release below the one they may hold or signed by a key they retired, and with --tree it
// finds each delta's base among the releases the tree's history keeps. Only the build on
// Linux has --check and the options that sign.
#include "forms.h"
#include "manifest.h"
#include "publish.h"
#include "rollout.h"
#include "updater_identity.h"
#ifdef TIDEWELL_SIGNING
#include "check.h"
#include "signing.h"
#endif

#include <cstdio>
#include <cstring>
#include <ctime>
#include <exception>
#include <optional>
#include <string>

namespace {

std::string aujourdhui()
{
    const std::time_t t = std::time(nullptr);
    char texte[16];
    std::strftime(texte, sizeof texte, "%d/%m/%Y", std::localtime(&t));
    return texte;
}

#ifdef TIDEWELL_SIGNING
// The UTC day `jours` days from now, as "YYYY-MM-DD".
std::string dansjours(long jours)
{
    const std::time_t t = std::time(nullptr) + static_cast<std::time_t>(jours) * 86400;
    std::tm utc = {};
    gmtime_r(&t, &utc);
    char texte[16];
    std::strftime(texte, sizeof texte, "%Y-%m-%d", &utc);
    return texte;
}
#endif

int usage()
{
    std::fprintf(stderr, "usage: tidewell-publish --release DIR --out DIR --version V [--subversion S] [--date D]\n"
                         "                        [--key KEY.pem [--key-id N] [--release-number N] [--expires DAYS]\n"
                         "                         [--previous-public-key ID:KEY] [--deltas K]\n"
                         "                         [--updater Tidewell.exe [--updater-machine i386|x86_64]]\n"
                         "                         [--rollout PERCENT] | --unsigned]\n"
                         "       tidewell-publish --resign DIR --key KEY.pem [--key-id N] [--release-number N] "
                         "[--expires DAYS]\n"
                         "                        [--previous-public-key ID:KEY] [--deltas K] [--rollout PERCENT]\n"
                         "       tidewell-publish --out DIR --rollout PERCENT --key KEY.pem [--key-id N]\n"
                         "       tidewell-publish --print-public-key KEY.pem [--key-id N]\n"
                         "       tidewell-publish --check URL --public-key ID:KEY [--ca FILE]\n"
                         "                        [--tree DIR | --min-release N [--min-key K]]\n");
    return 2;
}

// A whole positive number within the given bound, or 0.
unsigned long long positif(const std::string& s, unsigned long long borne)
{
    if (s.empty() || s.size() > 19 || s.find_first_not_of("0123456789") != std::string::npos)
        return 0;
    const unsigned long long n = std::stoull(s);
    return n <= borne ? n : 0;
}

#ifdef TIDEWELL_SIGNING
// "id:key" as --print-public-key prints it; nothing for anything else.
std::optional<tidewell::publication::ClePublique> clepubliquedonnee(const std::string& texte)
{
    const auto deux = texte.find(':');
    if (deux == std::string::npos)
        return std::nullopt;
    const int id = static_cast<int>(positif(texte.substr(0, deux), 9999));
    const std::string publique = texte.substr(deux + 1);
    if (!id || publique.size() != 128 || publique.find_first_not_of("0123456789abcdef") != std::string::npos)
        return std::nullopt;
    return tidewell::publication::ClePublique{id, publique};
}

// --check: 0 only when a signed updater would install what the server serves at `adresse`,
// even one that installed the release the maker's tree holds, or the one given.
int controle(const std::string& adresse, const std::string& cle, const std::string& fichierca, const std::string& arbre,
             const std::string& minedition, const std::string& mincle)
{
    namespace ctl = tidewell::controle;
    const auto publique = clepubliquedonnee(cle);
    ctl::Adresse a;
    // The folder's last segment names the application: no query may stand in its place.
    const bool adressevalide = ctl::lectureadresse(adresse, a) && a.chemin.find('?') == std::string::npos
                               && a.chemin.find_first_not_of('/') != std::string::npos;
    ctl::Anterieur anterieur;
    const unsigned long long edition = positif(minedition, tidewell::editionmax);
    const unsigned long long idcle = positif(mincle, 9999);
    const bool plancher = (minedition.empty() || edition) && (mincle.empty() || idcle) && (arbre.empty() || minedition.empty())
                          && (mincle.empty() || !minedition.empty());
    if (!publique || !adressevalide || !plancher) {
        std::fprintf(stderr, "refused: %s\n",
                     !publique ? "--public-key must be id:key as --print-public-key prints it"
                     : !adressevalide
                         ? "--check takes the https address of the application's folder, e.g. https://host/Abacor"
                         : "--tree DIR, or --min-release from 1 to 999999999 with --min-key from 1 to 9999 if given");
        return 2;
    }
    if (!minedition.empty())
        anterieur.installe = tidewell::EtatSigne{edition, static_cast<int>(idcle)};
    if (!arbre.empty()) {
        std::string erreur;
        anterieur.arbre = arbre;
        anterieur.installe = ctl::etatarbre(arbre, ctl::cibleadresse(adresse), erreur);
        if (!anterieur.installe) {
            std::fprintf(stderr, "refused: %s\n", erreur.c_str());
            return 2;
        }
    }
    ctl::ClientHttps client;
    std::string erreur;
    if (!client.prepare(fichierca, erreur)) {
        std::fprintf(stderr, "refused: %s\n", erreur.c_str());
        return 2;
    }
    const auto rapport = ctl::controle(adresse, *publique, client, dansjours(0), anterieur);
    for (const auto& p : rapport.problemes)
        std::printf("%s\n", p.c_str());
    std::printf("%s\n", rapport.resume.c_str());
    return rapport.problemes.empty() ? 0 : 1;
}
#endif

}  // namespace

int main(int argc, char** argv)
try {
    tidewell::publication::Release release;
    std::string sortie, cle, clepublique, resigner, idcle = "1", edition, expire = "365", precedente, deltas = "3";
    std::string adressecontrole, clecontrole, fichierca, arbrecontrole, minedition, mincle, machine = "i386", part;
    bool optionssignature = false;   // an option that only a signed publication takes
    bool optionsrelease = false;     // an option that only a publication or a signing again takes
    bool partdonnee = false;         // --rollout, even empty
    int optionscontrole = 0;         // options that only --check takes, each with its value
    release.date = aujourdhui();
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--unsigned") {
            release.sanssignature = true;
            continue;
        }
        if (i + 1 >= argc)
            return usage();
        const std::string valeur = argv[++i];
        if (option == "--release") release.dossier = valeur;
        else if (option == "--rollout") part = valeur, optionssignature = partdonnee = true;
        else if (option == "--out") sortie = valeur;
        else if (option == "--version") release.version = valeur, optionsrelease = true;
        else if (option == "--subversion") release.sousversion = valeur, optionsrelease = true;
        else if (option == "--date") release.date = valeur, optionsrelease = true;
        else if (option == "--key") cle = valeur;
        else if (option == "--key-id") idcle = valeur;
        else if (option == "--release-number") edition = valeur, optionssignature = optionsrelease = true;
        else if (option == "--expires") expire = valeur, optionssignature = optionsrelease = true;
        else if (option == "--print-public-key") clepublique = valeur;
        else if (option == "--resign") resigner = valeur;
        else if (option == "--previous-public-key") precedente = valeur, optionssignature = true;
        else if (option == "--deltas") deltas = valeur, optionssignature = optionsrelease = true;
        else if (option == "--updater") release.programme = valeur, optionssignature = optionsrelease = true;
        else if (option == "--updater-machine") machine = valeur, optionssignature = optionsrelease = true;
        else if (option == "--check") adressecontrole = valeur, ++optionscontrole;
        else if (option == "--public-key") clecontrole = valeur, ++optionscontrole;
        else if (option == "--ca") fichierca = valeur, ++optionscontrole;
        else if (option == "--tree") arbrecontrole = valeur, ++optionscontrole;
        else if (option == "--min-release") minedition = valeur, ++optionscontrole;
        else if (option == "--min-key") mincle = valeur, ++optionscontrole;
        else return usage();
    }
    if (optionscontrole) {
        if (adressecontrole.empty() || clecontrole.empty() || argc - 1 != 2 * optionscontrole)
            return usage();
#ifdef TIDEWELL_SIGNING
        return controle(adressecontrole, clecontrole, fichierca, arbrecontrole, minedition, mincle);
#else
        std::fprintf(stderr, "refused: this build of the tool cannot check a server; use the one built on Linux\n");
        return 2;
#endif
    }
    // The shipped updater is the 32-bit one; a tree of the 64-bit test builds offers theirs.
    if (machine != "i386" && machine != "x86_64") {
        std::fprintf(stderr, "refused: --updater-machine is i386 (the shipped updater) or x86_64\n");
        return 2;
    }
    release.machine = machine == "i386" ? tidewell::machinei386 : tidewell::machineamd64;
    const int id = static_cast<int>(positif(idcle, 9999));
    if (!id) {
        std::fprintf(stderr, "refused: --key-id must be a whole number from 1 to 9999\n");
        return 2;
    }
#ifdef TIDEWELL_SIGNING
    namespace sig = tidewell::signature;
    if (!clepublique.empty()) {
        std::string erreur;
        const auto k = sig::chargecle(clepublique, erreur);
        if (!k) {
            std::fprintf(stderr, "refused: %s\n", erreur.c_str());
            return 1;
        }
        // The form TIDEWELL_UPDATE_KEYS takes.
        const std::string publique = sig::clepublique(*k);
        if (publique.empty()) {
            std::fprintf(stderr, "refused: the public key of %s cannot be read\n", clepublique.c_str());
            return 1;
        }
        std::printf("%d:%s\n", id, publique.c_str());
        return 0;
    }
#else
    if (!clepublique.empty() || !cle.empty() || !resigner.empty()) {
        std::fprintf(stderr, "refused: this build of the tool cannot sign; use the one built on Linux\n");
        return 2;
    }
#endif
    // --out with --rollout and no release: the tree's current release takes a new share.
    const bool partseule = partdonnee && release.dossier.empty() && resigner.empty();
    if (partseule ? sortie.empty() || cle.empty() || optionsrelease || !precedente.empty()
        : resigner.empty() ? release.dossier.empty() || sortie.empty() : cle.empty() || !sortie.empty())
        return usage();
    const auto partlue = tidewell::lecturepart(part);
    if (partdonnee && !partlue) {
        std::fprintf(stderr, "refused: --rollout must be a percentage from 0 to 100, with at most two decimals\n");
        return 2;
    }
    if ((release.sanssignature && (!cle.empty() || !resigner.empty())) || (optionssignature && cle.empty())
        || (!resigner.empty() && !release.programme.empty()))
        return usage();
    tidewell::publication::Signataire signataire;
#ifdef TIDEWELL_SIGNING
    sig::CleSignature k;
    if (!cle.empty()) {
        std::string erreur;
        k = sig::chargecle(cle, erreur);
        const unsigned long long jours = positif(expire, 36500);
        const bool deltasvalide = deltas == "0" || positif(deltas, tidewell::deltasmax);
        const unsigned long long numero = edition.empty() ? 0 : positif(edition, tidewell::editionmax);
        const auto avant = precedente.empty() ? std::optional<tidewell::publication::ClePublique>()
                                              : clepubliquedonnee(precedente);
        const std::string publique = k ? sig::clepublique(*k) : std::string();
        // The key before the signing one: a lower id, and another key.
        const bool avantvalide = !avant || (avant->cle < id && avant->publique != publique);
        if (!k || publique.empty() || !jours || (!edition.empty() && !numero) || (!precedente.empty() && !avant)
            || !avantvalide || !deltasvalide) {
            std::fprintf(stderr, "refused: %s\n",
                         !k ? erreur.c_str()
                         : publique.empty() ? "the key's public point cannot be read"
                         : !jours ? "--expires must be a number of days from 1 to 36500"
                         : !avantvalide ? "--previous-public-key must be another key, of an id below --key-id's"
                         : !deltasvalide ? "--deltas must be a number of releases from 0 to 8"
                         : !avant && !precedente.empty()
                             ? "--previous-public-key must be id:key as --print-public-key prints it"
                             : "--release-number must be a whole number from 1 to 999999999");
            return 1;
        }
        signataire.connues.push_back({id, publique});
        if (avant)
            signataire.connues.push_back(*avant);
        signataire.verifie = [](const std::string& publique, const std::string& rs, const std::string& octets) {
            return sig::verifie(publique, rs, octets);
        };
        signataire.cle = id;
        signataire.edition = numero;
        signataire.deltas = deltas == "0" ? 0 : positif(deltas, tidewell::deltasmax);
        signataire.expire = dansjours(static_cast<long>(jours));
        signataire.sha256 = [](const std::string& o) { return sig::sha256(o); };
        signataire.sha256fichier = [](const std::filesystem::path& p) { return sig::sha256fichier(p.string()); };
        signataire.hachage = [] { return sig::sha256flux(); };
        signataire.signe = [&k](const std::string& o) { return sig::signe(*k, o); };
        if (partlue)
            signataire.part = *partlue;
        // Minutes since 2026-01-01 UTC: the least sequence a share takes.
        const std::time_t depuis2026 = std::time(nullptr) - 1767225600;
        signataire.minute = depuis2026 > 0 ? static_cast<std::uint64_t>(depuis2026) / 60 : 0;
    }
#endif
    if (!resigner.empty())
        sortie = resigner;
    const auto resultat = partseule          ? tidewell::publication::deploie(sortie, signataire)
                          : resigner.empty() ? tidewell::publication::publie(release, sortie, cle.empty() ? nullptr : &signataire)
                                             : tidewell::publication::resigne(resigner, signataire);
    for (const auto& remarque : resultat.remarques)
        std::fprintf(stderr, "note: %s\n", remarque.c_str());
    for (const auto& erreur : resultat.erreurs)
        std::fprintf(stderr, "refused: %s\n", erreur.c_str());
    if (!resultat.erreurs.empty())
        return 1;
    const std::string partie = partlue ? ", to " + tidewell::textepart(*partlue) + " % of the copies" : "";
    if (partseule)
        std::printf("release %llu of %s now goes to %s %% of the copies (sequence %llu)\n",
                    static_cast<unsigned long long>(resultat.edition), sortie.c_str(), tidewell::textepart(*partlue).c_str(),
                    static_cast<unsigned long long>(resultat.sequence));
    else if (!resigner.empty())
        std::printf("signed %s again: release %llu, valid through %s, key %d%s\n", sortie.c_str(),
                    static_cast<unsigned long long>(resultat.edition), signataire.expire.c_str(), signataire.cle,
                    partie.c_str());
    else
        std::printf("published %zu files, %lld KiB, into %s%s%s\n", resultat.fichiers.size(), resultat.kilooctets,
                    sortie.c_str(), cle.empty() ? "" : (", signed as release " + std::to_string(resultat.edition)).c_str(),
                    partie.c_str());
    return 0;
} catch (const std::exception& e) {
    std::fprintf(stderr, "refused: %s\n", e.what());
    return 1;
}
