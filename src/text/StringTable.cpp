#include "StringTable.h"
#include "Numbers.h"

#include <QLoggingCategory>
#include <algorithm>
#include <array>

Q_LOGGING_CATEGORY(lcText, "text", QtWarningMsg)

namespace pv {
namespace {

struct Entry {
  int id;
  const char* utf8;
};

// Kept sorted by id: the lookup is a binary search.
constexpr Entry kTable[] = {
    {1, "300"},
    // Italian texts
    {31, "DUPLIC."},
    {32, "Lineare"},
    {33, "Serbatoio"},
    {34, "SQRT"},
    {35, "Programma"},
    {36, "Misura"},
    {37, "Switch"},
    {38, "Apri Com"},
    {39, "Chiudi Com"},
    {40, "Tipo"},
    {41, "Funzioni"},
    {42, "Esterno"},
    {43, "Interno"},
    {44, "Alto"},
    {45, "Basso"},
    {46, "Leggi"},
    {47, "Scrivi"},
    {48, "Ingresso"},
    {49, "Uscita"},
    {50, "Soglie"},
    {51, "Info su"},
    {52, "Esci"},
    {53, "Apri..."},
    {54, "Salva"},
    {55, "Salva con nome..."},
    {56, "Controllo Config. "},  // the trailing blank is part of the text
    {57, "Opzioni"},
    {58, "Diretto"},
    {59, "Inverso"},
    {60, "Fili"},
    {61, "File non compatibile con il dispositivo collegato"},
    {62, "Configurazione errata: L'ingresso del canale A deve essere una Tc con CJC Interno"},
    {63, "Valori di ingresso"},
    {64, "valori di uscita"},
    {65, "oltre i limiti"},
    {66, "Offset CJC"},
    {67, "Porta COM utilizzata da un altra applicazione"},
    {68, "Errore di comunicazione"},
    {69, "Il dispositivo \u00e8 stato sostituito"},
    {70, "Dispositivo non compatibile con questa versione di software"},
    {71, "Errore: controllare i dati di programmazione"},
    {72, "Canale"},
    {73, "Dispositivo"},
    {74, "Manuale Utente"},
    // "salavato" is how the shipped text reads; files and users know it so.
    {75, "Attenzione: il file \u00e8 stato salavato con una versione differente del software"},
    {76, "www.orvane-instruments.example"},
    {77, "Orvane_Manuale_IT.pdf"},
    {78, "Planovix_Analogici_Manuale_IT.pdf"},
    {79, "Analogica"},
    {80, "Digitale"},
    {81, "Livello Trigger"},
    {82, "Integrazione"},
    {83, "Moltipl."},
    // Texts this program adds to the shipped table
    {84, "Accesso negato a %1: l'utente deve far parte del gruppo 'dialout'."},
    {85, "La porta %1 non esiste su questo computer."},
    {86, "presente"},
    {87, "assente"},
    {88, "File non trovato: %1"},
    {89, "Salva CSV..."},
    {90, "Lingua"},
    {91, "Avvia / ferma la misura"},
    {110, "Massimo"},
    {111, "Minimo"},
    {112, "Scostamento"},
    {113, "Alta"},
    {114, "Bassa"},
    {115, "Ritardo"},
    {116, "Avvia"},
    {117, "Ferma"},
    {140, "La scrittura si \u00e8 interrotta: il dispositivo contiene ora in parte la configurazione vecchia e in parte quella nuova. Celle inviate: %1. Celle non inviate: %2."},
    {141, "Il comando di fine programmazione non \u00e8 partito: il dispositivo pu\u00f2 essere rimasto in modo programmazione (una nuova lettura ne lo fa uscire)."},
    // Bench instruments
    {200, "Alimentatore"},
    {201, "Calibratore"},
    {202, "Multimetro"},
    {203, "Unit\u00e0 di commutazione"},
    {204, "Generatore di funzioni"},
    {205, "%1 (%2) non risponde."},
    {206, "Impossibile aprire %1 (%2): %3"},
    {207, "Errore di comunicazione con %1 (%2): %3"},
    {208, "%1 (%2): la risposta \"%3\" non \u00e8 un numero"},
    {209, "%1 sta gi\u00e0 eseguendo un comando"},
    {210, "Valore non numerico: \"%1\""},
    {211, "Porta non valida per %1: \"%2\""},
    {212, "%1: valore fuori dai limiti dello strumento: %2"},
    // English texts (Italian id + 300)
    {331, "DOUBLER"},
    {332, "Linear"},
    {333, "Tank"},
    {334, "SQRT"},
    {335, "Program"},
    {336, "Measure"},
    {337, "Switch"},
    {338, "Open Com"},
    {339, "Close Com"},
    {340, "Type"},
    {341, "Function"},
    {342, "External"},
    {343, "Internal"},
    {344, "Up"},
    {345, "Down"},
    {346, "Read"},
    {347, "Write"},
    {348, "Input"},
    {349, "Output"},
    {350, "Trips"},
    {351, "About"},
    {352, "Exit"},
    {353, "Open..."},
    {354, "Save"},
    {355, "Save as..."},
    {356, "Configuration Check"},
    {357, "Options"},
    {358, "Direct"},
    {359, "Reverse"},
    {360, "Wires"},
    {361, "File not compatible with the device connected"},
    {362, "Wrong configuration: Channel A input must be a Thermocouple with Internal CJC"},
    {363, "input value"},
    {364, "output value"},
    {365, "exceeds limits"},
    {366, "CJC Offset"},
    {367, "COM Port already in use"},
    {368, "Communication error"},
    {369, "Device Changed"},
    {370, "Device not compatible with this software version"},
    {371, "Error: check configuration data"},
    {372, "Channel"},
    {373, "Device"},
    {374, "User Guide"},
    {375, "Attention: the file has been saved with a different version of the software"},
    {376, "www.orvane-instruments.example"},
    {377, "Orvane_User_Guide_EN.pdf"},
    {378, "Planovix_Analog_User_Guide_EN.pdf"},
    {379, "Analog"},
    {380, "Digital"},
    {381, "Trig Level"},
    {382, "Smooth"},
    {383, "Multipl."},
    {384, "Access to %1 denied: the user must be in the 'dialout' group."},
    {385, "Port %1 does not exist on this computer."},
    {386, "present"},
    {387, "absent"},
    {388, "File not found: %1"},
    {389, "Save CSV..."},
    {390, "Language"},
    {391, "Start / stop measuring"},
    {410, "Max"},
    {411, "Min"},
    {412, "Offset"},
    {413, "Hi"},
    {414, "Lo"},
    {415, "Delay"},
    {416, "Start"},
    {417, "Stop"},
    {440, "The write was cut short: the unit now holds a mix of its old and its new configuration. Cells sent: %1. Cells not sent: %2."},
    {441, "The closing command did not leave: the unit may still be in programming mode (a new read takes it out)."},
    // Bench instruments
    {500, "Power supply"},
    {501, "Calibrator"},
    {502, "Multimeter"},
    {503, "Switching unit"},
    {504, "Function generator"},
    {505, "%1 (%2) does not answer."},
    {506, "Cannot open %1 (%2): %3"},
    {507, "Communication error with %1 (%2): %3"},
    {508, "%1 (%2): the answer \"%3\" is not a number"},
    {509, "%1 is already running a command"},
    {510, "Not a number: \"%1\""},
    {511, "Not a valid port for %1: \"%2\""},
    {512, "%1: value outside the instrument's range: %2"},
    // Brand 0: the maker's own identity
    {1000, "Vantrel srl"},
    {1001, "www.vantrel.example"},
    {1002, "Planovix_Manuale_IT.pdf"},
    {1003, "Planovix_User_Guide_EN.pdf"},
    {1004, "PLANOVIX v.2.6"},
    {1010, "KRV 2210"},
    {1011, "KRV 2211 A"},
    {1012, "KRV 2211 B"},
    {1013, "KRV 2211 C"},
    {1014, "KRV 2211 D"},
    {1015, "KRV 2212 A"},
    {1016, "KRV 2212 B"},
    {1017, "KRV 2212 C"},
    {1018, "KRV 2212 D"},
    {1019, "KRV 2311 A"},
    {1020, "KRV 2311 B"},
    {1021, "KRV 2311 C"},
    {1022, "KRV 2311 D"},
    {1023, "KRV 2312 A"},
    {1024, "KRV 2312 B"},
    {1025, "KRV 2312 C"},
    {1026, "KRV 2312 D"},
    {1027, "KRV 2220"},
    // Brand 1: a distributor's private label
    {1100, "Orvane Instruments Ltd"},
    {1101, "www.orvane-instruments.example"},
    {1102, "Orvane_Manuale_IT.pdf"},
    {1103, "Orvane_User_Guide_EN.pdf"},
    {1104, "ORVANE SETUP v.2.6"},
    {1110, "OI-10"},
    {1111, "OI-11 A"},
    {1112, "OI-11 B"},
    {1113, "OI-11 C"},
    {1114, "OI-11 D"},
    {1115, "OI-12 A"},
    {1116, "OI-12 B"},
    {1117, "OI-12 C"},
    {1118, "OI-12 D"},
    {1119, "OI-31 A"},
    {1120, "OI-31 B"},
    {1121, "OI-31 C"},
    {1122, "OI-31 D"},
    {1123, "OI-32 A"},
    {1124, "OI-32 B"},
    {1125, "OI-32 C"},
    {1126, "OI-32 D"},
    {1127, "OI-20"},
    // Brand 2: an OEM panel builder
    {1200, "Ferrosa Automazione spa"},
    {1201, "www.ferrosa-automazione.example"},
    {1202, "Ferrosa_Configuratore_IT.pdf"},
    {1203, "Ferrosa_Configurator_EN.pdf"},
    {1204, "FERROSA CONFIG v.2.6"},
    {1210, "FA 210"},
    {1211, "FA 211 A"},
    {1212, "FA 211 B"},
    {1213, "FA 211 C"},
    {1214, "FA 211 D"},
    {1215, "FA 212 A"},
    {1216, "FA 212 B"},
    {1217, "FA 212 C"},
    {1218, "FA 212 D"},
    {1219, "FA 311 A"},
    {1220, "FA 311 B"},
    {1221, "FA 311 C"},
    {1222, "FA 311 D"},
    {1223, "FA 312 A"},
    {1224, "FA 312 B"},
    {1225, "FA 312 C"},
    {1226, "FA 312 D"},
    {1227, "FA 220"},
    // Brand 3: a reseller that carries only part of the range (13 captions)
    {1300, "Lumetra GmbH"},
    {1301, "www.lumetra.example"},
    {1302, "Lumetra_Manuale_IT.pdf"},
    {1303, "Lumetra_Handbuch_EN.pdf"},
    {1304, "LUMETRA CONF v.2.6"},
    {1310, "LM 10"},
    {1311, "LM 11 A"},
    {1312, "LM 11 B"},
    {1313, "LM 11 C"},
    {1314, "LM 11 D"},
    {1315, "LM 12 A"},
    {1316, "LM 12 B"},
    {1317, "LM 12 C"},
    {1318, "LM 12 D"},
    {1319, "LM 31 A"},
    {1320, "LM 31 B"},
    {1321, "LM 31 C"},
    {1322, "LM 31 D"},
};

constexpr bool IsSorted() {
  for (size_t i = 1; i < std::size(kTable); ++i)
    if (kTable[i - 1].id >= kTable[i].id) return false;
  return true;
}
static_assert(IsSorted(), "string table ids must be unique and ascending");

} // namespace

std::optional<QString> FindText(int id) {
  const auto* end = std::end(kTable);
  const auto* it = std::lower_bound(std::begin(kTable), end, id,
                                    [](const Entry& e, int key) { return e.id < key; });
  if (it == end || it->id != id) return std::nullopt;
  return QString::fromUtf8(it->utf8);
}

QString LoadText(int id) {
  if (auto text = FindText(id)) return *text;
  qCWarning(lcText) << "no text with id" << id;
  return QStringLiteral("<text %1 missing>").arg(id);
}

qint16 ComputeLanguageOffset(int languageIndex) {
  return static_cast<qint16>(ParseLeadingNumber(LoadText(1)) * languageIndex);
}

QString SystemInfoUnavailableText() {
  return QString::fromUtf8("Le informazioni sul sistema non sono attualmente disponibili.");
}

} // namespace pv
