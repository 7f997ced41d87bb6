#include "web_response.h"

#include <cstdlib>

namespace libmaj {

Lecture entetes(HINTERNET requete)
{
    Lecture lecture;
    DWORD statut = 0;
    DWORD taille = sizeof statut;
    if (HttpQueryInfoA(requete, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &statut, &taille, nullptr))
        lecture.statuthttp = statut;
    char longueur[32] = {};
    taille = sizeof longueur - 1;
    if (HttpQueryInfoA(requete, HTTP_QUERY_CONTENT_LENGTH, longueur, &taille, nullptr)) {
        char* fin = nullptr;
        const unsigned long long n = std::strtoull(longueur, &fin, 10);
        if (fin != longueur)
            lecture.longueurannoncee = n;
    }
    return lecture;
}

}  // namespace libmaj
