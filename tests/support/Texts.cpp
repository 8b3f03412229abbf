#include "Texts.h"

#include <doctest.h>

#include <cstring>

#include "messages/Holders.h"
#include "res/resource.h"
#include "tests/support/Handles.h"
#include "tests/support/Locales.h"

namespace texts {

namespace {

// Under the names the locale table gives the languages.
const struct {
    const char* name;
    const char* texts[11];
} kTables[] = {
    { "English", {
        "",
        "Ostrevik Sentavio utility",
        "The current System Power Settings are not set to provide the optimum data protection level.",
        "Do you want to set the optimum settings?",
        "Don't display this message again.",
        "Your System Power Settings have been changed.\nYou must reboot your computer NOW for the modifications to be taken into account.\n\nDo you want to restart your computer now?",
        "The driver is NOT for a device on this machine\n or will NOT improve the current version.",
        "An error occured while accessing the Kestrine parameters in the Registry.",
        "Yes",
        "No",
        "Cancel",
    } },

    { "German", {
        "",
        "Ostrevik Sentavio Dienstprogramm",
        "Mit den derzeitigen Einstellungen für die Stromversorgung des Systems werden die Daten nicht optimal geschützt.",
        "Sollen die optimalen Einstellungen vorgenommen werden?",
        "Diese Meldung nicht mehr anzeigen.",
        "Ihre Einstellungen für die Stromversorgung des Systems wurden geändert.\nSie müssen Ihren Computer JETZT neu starten, damit die Modifikationen wirksam werden.\n\nSoll der Computer jetzt neu gestartet werden?",
        "Der Treiber ist NICHT für ein Gerät in diesem Rechner\n geeignet oder stellt KEINE Verbesserung gegenüber\n der aktuellen Version dar.",
        "Beim Zugriff auf die Kestrine Parameter in der Registrierung ist ein Fehler aufgetreten.",
        "Ja",
        "Nein",
        "Abbrechen",
    } },

    { "French", {
        "",
        "Utilitaire Ostrevik Sentavio",
        "La configuration actuelle du gestionnaire d'alimentation ne permet pas d'obtenir le niveau optimum de sécurité des données.",
        "Souhaitez-vous établir la configuration optimum ?",
        "Ne plus afficher ce message.",
        "La configuration du système de protection d'alimentation a été modifiée.\nRedémarrez votre ordinateur MAINTENANT pour que les modifications soient prises en compte.\n\nSouhaitez-vous redémarrer maintenant ?",
        "Le pilote ne correspond à AUCUN périphérique de cette machine\n ou n'améliorera PAS la version actuelle.",
        "Une erreur est survenue lors de l'accès aux paramètres du Kestrine dans le Registre.",
        "Oui",
        "Non",
        "Annuler",
    } },

    { "Italian", {
        "",
        "Programma di utilità OV Sentavio",
        "Le impostazioni per l'alimentazione del sistema non sono adatte ad assicurare il massimo livello di protezione dei dati",
        "Si desidera selezionare le impostazioni ottimali?",
        "Non mostrare più questo messaggio.",
        "Le impostazioni per l'alimentazione di sistema sono cambiate.\n Per renderle operative è necessario riavviare ADESSO il computer.\n\n Avviare il computer adesso?",
        "Il driver NON è per un dispositivo di questa macchina\n o NON aggiorna la versione corrente.",
        "Errore durante l'accesso ai parametri di OV Kestrine nel Registro.",
        "Sì",
        "No",
        "Annulla",
    } },

    { "Spanish", {
        "",
        "Utilidad Ostrevik Sentavio",
        "System Power Settings no está configurado actualmente para proporcionar el nivel óptimo de seguridad de los datos.",
        "¿Desea configurarlo a los valores óptimos?",
        "No muestre este mensaje de nuevo.",
        "Se ha cambiado System Power Settings.\nDebe de reiniciar su PC AHORA para que las modificaciones tengan efecto.\n\n¿Desea reiniciar su PC ahora?",
        "El controlador NO es para un dispositivo de esta máquina\n o NO mejorará la versión actual.",
        "Se ha producido un error al acceder a los parámetros del Kestrine en el registro.",
        "Sí",
        "No",
        "Cancelar",
    } },
};

const char* const* Named(const char* name)
{
    for (const auto& table : kTables)
        if (std::strcmp(table.name, name) == 0)
            return table.texts;
    return nullptr;
}

std::string Narrow(UINT codePage, DWORD flags, const std::wstring& wide)
{
    const int size = static_cast<int>(wide.size());
    int n = WideCharToMultiByte(codePage, flags, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string narrow(n, '\0');
    WideCharToMultiByte(codePage, flags, wide.data(), size, narrow.data(), n, nullptr, nullptr);
    return narrow;
}

}  // namespace

#define LANGUAGE_ROW(locale, id, name) { id, name, Named(name), locale },
const std::vector<Language> Languages = { SENTAVIO_LOCALES(LANGUAGE_ROW) };

const char* const* TableFor(LANGID id)
{
    for (const Language& l : Languages)
        if (l.id == id)
            return l.table;
    return nullptr;
}

std::string Utf8(const std::wstring& wide)
{
    return Narrow(CP_UTF8, 0, wide);
}

std::string Ansi(const std::string& utf8)
{
    const int size = static_cast<int>(utf8.size());
    std::wstring wide(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), static_cast<int>(wide.size()));
    return Narrow(CP_ACP, WC_NO_BEST_FIT_CHARS, wide);
}

std::string SystemText(DWORD code)
{
    CLocalHolder<LPSTR> buffer;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                       FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, 0, reinterpret_cast<LPSTR>(buffer.Put()), 0, nullptr);
    return robot::Visible(buffer ? buffer.Get() : "");
}

std::string Text(UINT id)
{
    return Ansi(Languages.front().table[id]);
}

Outcome Run(const std::function<void()>& operation, const std::vector<robot::Answer>& answers)
{
    const robot::Answer ok = [](HWND box) { robot::Click(box, IDOK); };
    const handles::CWatch watch;
    auto boxes = robot::RunAndAnswer(operation, answers.empty() ? std::vector<robot::Answer>{ ok, ok } : answers);
    return { std::move(boxes), watch.Unchanged(), watch.InvalidCloses() };
}

std::string BoxFor(DWORD code)
{
    return code != 0 ? SystemText(code) : std::string();
}

void CheckErrorBox(const std::vector<robot::Window>& boxes, const std::string& text)
{
    if (text.empty()) {
        CHECK(boxes.empty());
        return;
    }
    REQUIRE(boxes.size() == 1);
    CHECK(boxes[0].caption == Text(IDS_TITLE));
    CHECK(robot::Visible(boxes[0].StaticText()) == text);
    CHECK(boxes[0].icon == LoadIconA(nullptr, IDI_HAND));
    CHECK(boxes[0].Buttons() == std::vector<int>{ IDOK });
}

}  // namespace texts
