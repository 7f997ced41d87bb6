// The updater's own readings of its settings and labels, beside the pages it shares with the
// maker's tool (pages.h). No platform call here.
#pragma once

#include "pages.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tidewell {

// The language code from the settings' "Langue": rounded, halves to even, then held to 1..2.
std::int16_t languedepuis(const std::string& valeur);

// How long, in seconds, a signed run waits for the files it replaces to be let go, from the
// settings' "Attente": rounded, held to 0..600; 60 where it is missing or is no number of
// seconds (it must start with a digit).
constexpr int attentedefaut = 60, attentemax = 600;
int attentedepuis(const std::string& valeur);

// The base address of an application on the update server; empty for an unknown key.
std::string adressebase(const std::string& serveur, const std::string& nomappli);
// The same for each address of a comma-separated list of servers (mirrors of one another), in
// their order.
std::vector<std::string> adressesbase(const std::string& serveurs, const std::string& nomappli);

// The version and date labels; empty when there is nothing to show.
std::string libelleversion(const std::string& version, const std::string& sousversion);
std::string libelledate(const std::string& date);

}  // namespace tidewell
