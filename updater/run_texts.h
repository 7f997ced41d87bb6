// Texts that the update run shows itself, in the code page 1252 bytes the platform takes.
#pragma once

#include <cstdint>
#include <string>

namespace tidewell {

// The message shown when there is no application to update: the information header with
// its rule of 45 underscores, then the sentence in the language of the code (0 and 1
// French, 2 English, any other code no sentence).
std::string messageintrouvable(std::int16_t langue, const std::string& sautligne);

// The window's title once the language is known: "Mise à jour des Fichiers" or "Update Files".
std::string titrelangue(std::int16_t langue);

// The download loop's texts follow the application served, not the language.
struct TextesCible {
    std::string encours;    // activity line while downloading
    std::string fichier;    // before the name of the file being fetched
    std::string termine;    // in place of the percentage at the end
};
TextesCible textescible(const std::string& nomappli);

// The message of a signed update that was refused before any file changed, with its reason code.
std::string messagenonverifie(const std::string& code, const std::string& sautligne);

// The message of a signed update that was refused or undone, chosen by its reason code: a
// release that could not be verified (S, M, F), one that could not be installed and left every
// file as it was (P: too little room; I: the n-th file could not be put in place), and an
// install that could not be finished or undone (R), which the next run takes up again. The
// refusal of the very file another program still held (I<rang>) names it and the program
// (`detenteur`, empty when the platform could not tell it).
struct Detention {
    std::string fichier, detenteur;
    std::size_t rang = 0;   // from 1; 0 when no file was held
};
std::string messagerefus(const std::string& code, const std::string& sautligne, const Detention& tenu = {});

// The activity line while the run waits for `detenteur` (empty: a program the platform could
// not name) to let go of the files to replace: English for language 2, French otherwise.
std::string texteattente(std::int16_t langue, const std::string& detenteur);

// The text shown while the application is about to be started again.
std::string messagerelance(std::int16_t langue);

}  // namespace tidewell
