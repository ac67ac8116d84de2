// The library's own string table, registered when the library is loaded.
// The texts are Polish, stored as Windows-1250 bytes.
#include <zep3/foundation/detail/LibraryResources.h>
#include <zep3/platform/Module.h>
#include <zep3/platform/Resource.h>

namespace {

const ZEP3StringEntry kStrings[] = {
    {IDS_WRONG_USER_OR_PASSWORD, "Z\xB3" "a nazwa u\xBF" "ytkownika lub has\xB3" "o."},
    {IDS_LOGIN_AGAIN, "Zaloguj ponownie"},
    {IDS_NO_PAGE_TITLE, "Brak strony"},
    {IDS_NO_PAGE_TEXT, "B\xB3\xB9" "d: strona o podanym adresie nie istnieje!"},
    {IDS_SESSION_EXPIRED, "Sesja wygas\xB3" "a, zaloguj si\xEA ponownie."},
    {IDS_USER_NAME, "Nazwa u\xBF" "ytkownika"},
    {IDS_PASSWORD, "Has\xB3" "o"},
    {IDS_LOGGED_OUT, "U\xBF" "ytkownik zosta\xB3 wylogowany."},
};

const bool g_registered =
    ZEP3RegisterStringTable(ZEP3GetInstanceHandle(), kStrings, sizeof kStrings / sizeof kStrings[0]) != FALSE;

} // namespace
