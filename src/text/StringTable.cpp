#include "StringTable.h"
#include "Numbers.h"
#include "kernel/Version.h"

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
    // Texts this program adds (2..30; English at 302..330)
    {2, "Soglia A"},
    {3, "Soglia B"},
    {4, "Allarme"},
    {5, "Opzione"},
    {6, "Disattivo"},
    {7, "Attivo"},
    {8, "Est"},
    {9, "Int"},
    {10, "3 fili"},
    {11, "2 fili"},
    {12, "2/4 fili"},
    {13, "Seleziona:"},
    {14, "Seleziona"},
    {15, "Seleziona il dispositivo"},
    {16, "Span di default"},
    {17, "Zero di default"},
    {18, "Guida ->"},
    {19, "<- Indietro"},
    {20, "SW2 (esadecimale)"},
    {21, "Configurato da software (EEPROM): gli interruttori non scelgono ingresso e uscita. Configurazione letta:"},
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
    // One session owns the unit; nothing written that nobody loaded
    {92, "Il programma non contiene una configurazione letta da un dispositivo o da un file: nulla \u00e8 stato scritto. Leggere il dispositivo o aprire un file prima di scrivere."},
    {93, "%1: il campo \u00e8 vuoto o non contiene un numero (\"%2\"): nulla \u00e8 stato scritto."},
    {94, "il file contiene %1 byte, una configurazione ne richiede %2"},
    {95, "il numero al byte %1 non \u00e8 un numero finito"},
    {96, "il byte %1 non \u00e8 un'opzione salvata"},
    {97, "le caselle ai byte 290 e 291 non valgono 0 o 1"},
    {98, "l'operazione al byte 272 \u00e8 fuori dai limiti"},
    {99, "Il file %1 non \u00e8 una configurazione valida: %2"},
    {100, "&Visualizza"},
    {101, "&Azione"},
    {102, "&Collaudo"},
    {103, "A&iuto"},
    {104, "&Taratura"},
    {105, "Impostazione DIP-switch"},
    {106, "&File"},
    {107, "&EEprom"},
    {110, "Massimo"},
    {111, "Minimo"},
    {112, "Scostamento"},
    {113, "Alta"},
    {114, "Bassa"},
    {115, "Ritardo"},
    {116, "Avvia"},
    {117, "Ferma"},
    {118, "Fuori scala"},
    {119, "Su questo modello il bit della direzione della soglia indica la famiglia del modello: si mostra com'\u00e8 e non si modifica."},
    // Compare and safe write
    {120, "Confronta"},
    {121, "Annulla ultima scrittura"},
    {122, "Scrivi solo i campi modificati"},
    {123, "Campo"},
    {124, "U.M."},
    {125, "Nessuna differenza"},
    {126, "CJC"},
    {127, "Burn-out"},
    {128, "Rel\u00e8"},
    {129, "Direzione soglia"},
    {130, "Tempo di risposta"},
    {131, "Scala fisica"},
    {132, "S\u00ec"},
    {133, "No"},
    {134, "Nessuna scrittura salvata per questo dispositivo."},
    {135, "Rimettere sul dispositivo le %1 celle salvate il %2, prima della scrittura?"},
    {136, "Le celle salvate appartengono a un altro dispositivo (%1). Scriverle comunque?"},
    {137, "Campi diversi: %1"},
    {138, "File da confrontare..."},
    {139, "Impossibile salvare le celle del dispositivo prima della scrittura (%1): non si potr\u00e0 annullarla. Scrivere comunque?"},
    {140, "La scrittura si \u00e8 interrotta: il dispositivo contiene ora in parte la configurazione vecchia e in parte quella nuova. Celle inviate: %1. Celle non inviate: %2."},
    {141, "Il comando di fine programmazione non \u00e8 partito: il dispositivo pu\u00f2 essere rimasto in modo programmazione (una nuova lettura ne lo fa uscire)."},
    // Commissioning sheet
    {142, "Scheda di messa in servizio"},
    {143, "Modello"},
    {144, "Identit\u00e0"},
    {145, "Data"},
    {146, "Configurazione"},
    {147, "S\u00ec"},
    {148, "No"},
    {149, "Contatto rel\u00e8"},
    {150, "Tempo di risposta"},
    {151, "Interruttori DIP"},
    {152, "Scala fisica"},
    {153, "Operazione"},
    {154, "Alta velocit\u00e0"},
    {155, "Origine"},
    {156, "Dispositivo collegato"},
    {157, "Ingresso in frequenza"},
    {158, "Stampa / PDF..."},
    {159, "Tecnico / firma"},
    // Record store, fingerprint and the ends of a write
    {160, "Le celle di taratura di questo dispositivo sono vuote: l'impronta non lo distingue da altri come lui. Etichetta (numero di serie sull'adesivo):"},
    {161, "La voce salvata n. %1 appartiene a un altro dispositivo (impronta %2; questo dispositivo: %3). Scriverla comunque?"},
    {162, "La voce salvata pi\u00f9 recente di questo dispositivo (n. %1) \u00e8 danneggiata: %2. Non \u00e8 stato scritto nulla; una voce precedente si rimette indicandone il numero."},
    {163, "Le celle di taratura del dispositivo sono vuote: la sua impronta \u00e8 quella di ogni dispositivo cos\u00ec; la voce \u00e8 scelta dall'etichetta \"%1\"."},
    {164, "Questa voce salvata non dice di quale dispositivo sia (viene dalla vecchia cronologia, senza impronta); questo dispositivo: %1. Scriverla comunque?"},
    {165, "Tutte le celle sono partite, ma il dispositivo non si \u00e8 potuto rileggere: contiene la nuova configurazione, non verificata."},
    {166, "La lettura prima della scrittura si \u00e8 interrotta: non \u00e8 stato scritto nulla, ma il dispositivo pu\u00f2 essere rimasto in modo programmazione (una nuova lettura ne lo fa uscire)."},
    {167, "Impossibile leggere l'archivio delle scritture: %1"},
    {169, "Il file contiene valori che il programma non conosce; restano come nell'editor: %1. Caricare il resto?"},
    // Gang programming station
    {170, "codice/variante %1/%2, il file \u00e8 per %3/%4: non scritta"},
    {171, "un %1, non il %2 del lotto: non scritta"},
    {172, "unit\u00e0 sconosciuta"},
    {173, "la linea verso l'unit\u00e0 \u00e8 stata persa"},
    {174, "l'unit\u00e0 non ha risposto come atteso"},
    {175, "impossibile aprire la porta %1 (%2)"},
    {176, "l'unit\u00e0 pu\u00f2 essere rimasta in modo programmazione"},
    {177, "fermata da una seconda richiesta di arresto"},
    {180, "Stazione di programmazione"},
    {181, "In attesa"},
    {182, "Scrittura"},
    {183, "OK"},
    {184, "Fallita"},
    {185, "Rifiutata"},
    {186, "Ferma"},
    {187, "Avvia tutte"},
    {188, "Ferma tutte"},
    {189, "%1 ok, %2 rifiutate, %3 fallite"},
    {190, "Totale: %1"},
    {191, "Ultimo motivo: %1"},
    {192, "Porte (separate da virgole):"},
    {193, "File di configurazione:"},
    {194, "Scegli..."},
    {195, "Stazione di programmazione..."},
    {196, "Arresto: le unit\u00e0 in lavorazione vengono completate"},
    {197, "Impossibile avviare: %1"},
    {198, "File di configurazione (*.dst *.DST)"},
    {199, "Impronta dell'unit\u00e0: %1"},
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
    // EEPROM editor
    {220, "Leggi EEprom"},
    {221, "Scrivi EEprom"},
    {222, "Salva su file EEprom.dat"},
    {223, "Carica da file EEprom.dat"},
    {224, "Verifica"},
    {225, "Banco"},
    {226, "Registro"},
    {227, "Valore"},
    {228, "Formato"},
    {229, " errori"},
    {230, "Le 256 celle del banco 0 del dispositivo saranno sovrascritte con i valori della lista. Continuare?"},
    {231, "Riga %1: \"%2\" non \u00e8 un valore di cella (un numero intero da 0 a 255)."},
    {232, "La lista ha %1 righe: ne servono 256 (leggere il dispositivo o caricare un file)."},
    {233, "Il file finisce alla riga %1: servono 256 righe, un valore per riga."},
    {234, "Riga %1: il file ha pi\u00f9 di 256 righe."},
    {235, "Nulla \u00e8 stato scritto sul dispositivo."},
    {236, "Dopo la scrittura %1 celle non contengono il valore scritto (cella: letto / scritto): %2"},
    {237, "%1: \"%2\" non \u00e8 un valore valido (%3)."},
    {238, "Impossibile leggere il file %1: %2"},
    {239, "Impossibile salvare il file %1: %2"},
    // Production test window
    {240, "Test di produzione"},
    {241, "Generatore di Funzioni"},
    {242, "Comando Uscita"},
    {243, "Freq"},
    {244, "Stabilit\u00e0"},
    {245, "Rimbalzo"},
    {246, "Start"},
    {247, "Fine"},
    {248, "Step"},
    {249, "Delay step"},
    {250, "Delay mis"},
    {251, "Toll"},
    {252, "Misura"},
    {253, "Ref"},
    {254, "toll"},
    {255, "start LINEARITA'"},
    {256, "start STABILITA'"},
    {257, "Il passo della scansione deve essere maggiore di 0"},
    {258, "Impossibile scrivere %1: %2"},
    {259, "Il dispositivo sta eseguendo un'altra operazione: riprovare al termine"},
    {260, "Scegliere prima il modello"},
    {261, "EUT: \"%1\" non e' una porta"},
    {262, "La porta Com%1 del multimetro e' quella dell'unita' in prova (EUT)"},
    {263, "V2000 e V1000 non danno un risultato"},
    {264, "1 riga non superata"},
    {265, "%1 righe non superate"},
    {266, "Riprendi rifiutato: la griglia salvata \u00e8 di un'altra unit\u00e0 o di un altro modello"},
    // Calibration verification
    {280, "Verifica taratura"},
    {281, "Impostazione strumenti"},
    {282, "Valore di alimentazione errato!"},
    {283, "Impostare tipo di uscita"},
    {284, "Selezionare dispositivo da verificare"},
    {285, "secondo canale di uscita non tarabile"},
    {286, "Impostare calibratore"},
    {287, "Valore non corretto per mVL; selezionare ingresso mVH"},
    {288, "Valore non corretto per mVH; selezionare ingresso V"},
    {289, "Porta Com non aperta"},
    {290, "Salva report"},
    {291, "Impossibile salvare il report %1: %2"},
    {292, "Download non eseguito: la configurazione non \u00e8 stata scritta"},
    {293, "Verifica o download gi\u00e0 in corso: attendere il termine"},
    {294, "Report di verifica (*.txt)"},
    {295, "%1: \"%2\" non \u00e8 un numero"},
    {296, "Verifica interrotta (STOP)"},
    // English texts (Italian id + 300)
    {302, "Trip A"},
    {303, "Trip B"},
    {304, "Alarm"},
    {305, "Option"},
    {306, "Off"},
    {307, "On"},
    {308, "Ext"},
    {309, "Int"},
    {310, "3w"},
    {311, "2w"},
    {312, "2/4w"},
    {313, "Select:"},
    {314, "Select"},
    {315, "Select Device"},
    {316, "Enter Span Default"},
    {317, "Enter Zero Default"},
    {318, "Wizard ->"},
    {319, "<- Back "},
    {320, "SW2 (hex)"},
    {321, "Configured by software (EEPROM): the switches choose neither input nor output. Configuration read:"},
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
    {392, "The program holds no configuration read from a unit or a file: nothing was written. Read the unit or open a file before writing."},
    {393, "%1: the field is empty or not a number (\"%2\"): nothing was written."},
    {394, "the file holds %1 bytes, a configuration needs %2"},
    {395, "the number at byte %1 is not a finite number"},
    {396, "byte %1 is not a saved option"},
    {397, "the check boxes at bytes 290 and 291 are not 0 or 1"},
    {398, "the operation at byte 272 is out of range"},
    {399, "The file %1 is not a valid configuration: %2"},
    {400, "&View"},
    {401, "&Action"},
    {402, "&Factory test"},
    {403, "&Help"},
    {404, "&Calibration"},
    {405, "DIP-switch wizard"},
    {406, "&File"},
    {407, "&EEprom"},
    {410, "Max"},
    {411, "Min"},
    {412, "Offset"},
    {413, "Hi"},
    {414, "Lo"},
    {415, "Delay"},
    {416, "Start"},
    {417, "Stop"},
    {418, "Over range"},
    {419, "On this model the trip direction bit names the model family: it is shown as it is and cannot be changed."},
    {420, "Compare"},
    {421, "Undo last write"},
    {422, "Write only the changed fields"},
    {423, "Field"},
    {424, "Unit"},
    {425, "No differences"},
    {426, "CJC"},
    {427, "Burn-out"},
    {428, "Relay"},
    {429, "Trip direction"},
    {430, "Response time"},
    {431, "Physical scale"},
    {432, "Yes"},
    {433, "No"},
    {434, "No saved write for this unit."},
    {435, "Put back on the unit the %1 cells saved on %2, before the write?"},
    {436, "The saved cells belong to another unit (%1). Write them anyway?"},
    {437, "Fields that differ: %1"},
    {438, "File to compare..."},
    {439, "The unit's cells could not be saved before the write (%1): it cannot be undone. Write anyway?"},
    {440, "The write was cut short: the unit now holds a mix of its old and its new configuration. Cells sent: %1. Cells not sent: %2."},
    {441, "The closing command did not leave: the unit may still be in programming mode (a new read takes it out)."},
    // Commissioning sheet
    {442, "Commissioning sheet"},
    {443, "Model"},
    {444, "Identity"},
    {445, "Date"},
    {446, "Configuration"},
    {447, "Yes"},
    {448, "No"},
    {449, "Relay contact"},
    {450, "Response time"},
    {451, "DIP switches"},
    {452, "Physical scale"},
    {453, "Operation"},
    {454, "High speed"},
    {455, "Source"},
    {456, "Connected unit"},
    {457, "Frequency input"},
    {458, "Print / PDF..."},
    {459, "Technician / signature"},
    // Record store, fingerprint and the ends of a write
    {460, "This unit's calibration cells are blank: its fingerprint does not tell it from others like it. Label (serial number on the sticker):"},
    {461, "Saved entry #%1 belongs to another unit (fingerprint %2; this unit: %3). Write it anyway?"},
    {462, "This unit's newest saved entry (#%1) is damaged: %2. Nothing was written; an older entry is restored by giving its number."},
    {463, "The unit's calibration cells are blank: its fingerprint is that of every such unit; the entry was chosen by its label \"%1\"."},
    {464, "This saved entry does not say which unit it is of (it comes from the old history, without a fingerprint); this unit: %1. Write it anyway?"},
    {465, "Every cell was sent, but the unit could not be read back: it holds the new configuration, unchecked."},
    {466, "The read before the write was cut short: nothing was written, but the unit may still be in programming mode (a new read takes it out)."},
    {467, "The record store cannot be read: %1"},
    {469, "The file holds values this program does not know; the editor keeps its own there: %1. Load the rest?"},
    // Gang programming station
    {470, "device code/variant %1/%2, the file is for %3/%4: not written"},
    {471, "a %1, not the batch's %2: not written"},
    {472, "unknown unit"},
    {473, "the line to the unit was lost"},
    {474, "the unit did not answer as expected"},
    {475, "cannot open port %1 (%2)"},
    {476, "the unit may still be in programming mode"},
    {477, "stopped by a second stop request"},
    {480, "Gang programming station"},
    {481, "Waiting"},
    {482, "Writing"},
    {483, "OK"},
    {484, "Failed"},
    {485, "Refused"},
    {486, "Stopped"},
    {487, "Start all"},
    {488, "Stop all"},
    {489, "%1 ok, %2 refused, %3 failed"},
    {490, "Total: %1"},
    {491, "Last reason: %1"},
    {492, "Ports (comma separated):"},
    {493, "Configuration file:"},
    {494, "Choose..."},
    {495, "Gang programming station..."},
    {496, "Stopping: the units in hand are finished first"},
    {497, "Cannot start: %1"},
    {498, "Configuration files (*.dst *.DST)"},
    {499, "Unit fingerprint: %1"},
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
    // EEPROM editor
    {520, "Read EEprom"},
    {521, "Write EEprom"},
    {522, "Save to file EEprom.dat"},
    {523, "Load from file EEprom.dat"},
    {524, "Verify"},
    {525, "Bank"},
    {526, "Register"},
    {527, "Value"},
    {528, "Format"},
    {529, " errors"},
    {530, "All 256 cells of bank 0 of the unit will be overwritten with the values in the list. Continue?"},
    {531, "Line %1: \"%2\" is not a cell value (a whole number from 0 to 255)."},
    {532, "The list has %1 lines: 256 are needed (read the unit or load a file)."},
    {533, "The file ends at line %1: 256 lines are needed, one value a line."},
    {534, "Line %1: the file has more than 256 lines."},
    {535, "Nothing was written to the unit."},
    {536, "After the write %1 cells do not hold the value written (cell: read / written): %2"},
    {537, "%1: \"%2\" is not a valid value (%3)."},
    {538, "Cannot read the file %1: %2"},
    {539, "Cannot save the file %1: %2"},
    {540, "Production test"},
    {541, "Function generator"},
    {542, "Output command"},
    {543, "Freq"},
    {544, "Stability"},
    {545, "Bounce"},
    {546, "Start"},
    {547, "End"},
    {548, "Step"},
    {549, "Step delay"},
    {550, "Meas. delay"},
    {551, "Tol."},
    {552, "Reading"},
    {553, "Ref"},
    {554, "tol."},
    {555, "start LINEARITY"},
    {556, "start STABILITY"},
    {557, "The sweep step must be greater than 0"},
    {558, "Cannot write %1: %2"},
    {559, "The unit is busy with another operation: try again when it ends"},
    {560, "Choose the model first"},
    {561, "EUT: \"%1\" is not a port"},
    {562, "Meter port Com%1 is the unit's own port (EUT)"},
    {563, "V2000 and V1000 give no result"},
    {564, "1 row failed"},
    {565, "%1 rows failed"},
    {566, "Resume refused: the saved grid belongs to another unit or model"},
    // Calibration verification
    {580, "Calibration check"},
    {581, "Instrument set-up"},
    {582, "Wrong supply value!"},
    {583, "Set the output type"},
    {584, "Select the unit to check"},
    {585, "second output channel cannot be calibrated"},
    {586, "Set the calibrator"},
    {587, "Value not valid for mVL; select input mVH"},
    {588, "Value not valid for mVH; select input V"},
    {589, "Com port not open"},
    {590, "Save report"},
    {591, "Cannot save the report %1: %2"},
    {592, "Download not done: the configuration was not written"},
    {593, "A check or a download is already running: wait for its end"},
    {594, "Verification report (*.txt)"},
    {595, "%1: \"%2\" is not a number"},
    {596, "Check stopped (STOP)"},
    // Captions of the factory windows (600..; English at 900..)
    {600, "Selezionare Modo di taratura:"},
    {601, "Impostare canale di uscita"},
    {602, "Impostare canale di misura"},
    {603, "Automatico"},
    {604, "Manuale"},
    {605, "Modo Taratura:"},
    {606, "Impostazione Alimentatore"},
    {607, "Set alim."},
    {608, "Valore alimentazione:"},
    {609, "Impostazione multimetro"},
    {610, "Selezionare tipo out"},
    {611, "Set mult."},
    {612, "Segnale di uscita:"},
    {613, "Impostazione Calibratore"},
    {614, "Selezionare ingresso"},
    {615, "Set cal."},
    {616, "Tipo di ingresso:"},
    {617, "1/2 scala:"},
    {618, "Impostazione Unit\u00e0 Switch"},
    {619, "Selezionare canale"},
    {620, "Set Un.Sw."},
    {621, "Dispositivo:"},
    {622, "Imposta strumenti"},
    {623, "Prog. strumenti"},
    {624, "Programmazione default"},
    {625, "Programmazione manuale (Finestra Program)"},
    {626, "Prog. dispositivo"},
    {627, "Modo di taratura: "},
    {630, "Taratura Serie OLMA"},
    {632, "Porte Seriali"},
    {633, "Prova Cons."},
    {634, "Carica Default"},
    {635, "Controllo switch"},
    {636, "Controllo misure"},
    {637, "Progr. finale"},
    {639, "Riprendi"},
    {640, "Ingressi"},
    {641, "Uscite"},
    {642, "Tara Canale A"},
    {643, "Tara Canale B"},
    {644, "Prova linearit\u00e0"},
    {645, "lett mult"},
    {646, "2 ch compl."},
    {647, "Carico"},
    {648, "Alim"},
    {649, "Mult"},
    {650, "nessuna lettura della corrente dall'alimentatore"},
    {651, "riga %1 (%2, canale %3) interrotta da un guasto del dispositivo o di uno strumento"},
    {652, "fermato dopo la riga %1"},
    {653, "non \u00e8 stato possibile leggere l'identit\u00e0 dell'unit\u00e0"},
    {654, "non \u00e8 stato possibile leggere le celle dell'unit\u00e0"},
    {655, "non \u00e8 stato possibile salvare le celle dell'unit\u00e0: nulla \u00e8 stato scritto"},
    {656, "non \u00e8 stato possibile salvare le celle dell'unit\u00e0 prima della taratura"},
    {657, "non \u00e8 stato possibile scrivere la configurazione di default"},
    {658, "non \u00e8 stato possibile leggere i DIP switch"},
    {659, "il modello non ha un'uscita sul canale %1"},
    {660, "non \u00e8 stato possibile leggere i coefficienti d'uscita"},
    {661, "non \u00e8 stato possibile scrivere l'impostazione del canale"},
    {662, "non \u00e8 stato possibile leggere le celle dell'unit\u00e0 prima della programmazione finale"},
    {663, "non \u00e8 stato possibile salvare le celle dell'unit\u00e0 prima della programmazione finale"},
    {664, "non \u00e8 stato possibile scrivere la programmazione finale"},
    {665, "Certificato di collaudo"},
    {666, "Impronta"},
    {667, "Modello"},
    {668, "Etichetta"},
    {669, "Data"},
    {670, "Banco"},
    {671, "Operatore"},
    {672, "Strumenti"},
    {673, "Temp. ambiente"},
    {674, "Esito"},
    {675, "Prova"},
    {676, "Valore"},
    {677, "Limiti"},
    {678, "Misure"},
    {679, "Firma del tecnico"},
    {680, "superato"},
    {681, "non superato"},
    {682, "interrotto"},
    {683, "errore"},
    {684, "eseguito"},
    {685, "in corso"},
    {686, "Registrazioni"},
    {687, "Tipo"},
    {688, "Resa al primo passaggio per modello"},
    {689, "Righe che falliscono pi\u00f9 spesso"},
    {690, "Storia dell'unit\u00e0"},
    {691, "Modello, unit\u00e0 o etichetta"},
    {692, "Dal"},
    {693, "Tutti"},
    {694, "Certificato..."},
    {695, "Aggiorna"},
    {696, "Archivio: %1"},
    {697, "Nessuna registrazione"},
    {698, "calibrazione"},
    {699, "verifica"},
    {900, "Choose the calibration mode:"},
    {901, "Set the output channel"},
    {902, "Set the measuring channel"},
    {903, "Automatic"},
    {904, "Manual"},
    {905, "Calibration mode:"},
    {906, "Power supply set-up"},
    {907, "Set supply"},
    {908, "Supply voltage:"},
    {909, "Multimeter set-up"},
    {910, "Choose the output type"},
    {911, "Set meter"},
    {912, "Output signal:"},
    {913, "Calibrator set-up"},
    {914, "Choose the input"},
    {915, "Set calibrator"},
    {916, "Input type:"},
    {917, "Half scale:"},
    {918, "Switching unit set-up"},
    {919, "Choose the channel"},
    {920, "Set switches"},
    {921, "Unit:"},
    {922, "Set all instruments"},
    {923, "Instrument set-up"},
    {924, "Default programming"},
    {925, "Manual programming (Program window)"},
    {926, "Program the unit"},
    {927, "Calibration mode: "},
    {930, "OLMA Series Calibration"},
    {932, "Serial ports"},
    {933, "Consumption test"},
    {934, "Load defaults"},
    {935, "Switch check"},
    {936, "Measurement check"},
    {937, "Final programming"},
    {939, "Resume"},
    {940, "Inputs"},
    {941, "Outputs"},
    {942, "Calibrate channel A"},
    {943, "Calibrate channel B"},
    {944, "Linearity test"},
    {945, "Meter reading"},
    {946, "2 ch full"},
    {947, "Load"},
    {948, "Supply"},
    {949, "Meter"},
    {950, "no supply current reading"},
    {951, "row %1 (%2, channel %3) was interrupted by a device or instrument fault"},
    {952, "stopped after row %1"},
    {953, "the unit's identity could not be read"},
    {954, "the unit's cells could not be read"},
    {955, "the unit's cells could not be saved; nothing was written"},
    {956, "the unit's cells could not be saved before the run"},
    {957, "the default configuration could not be written"},
    {958, "the DIP switches could not be read"},
    {959, "the model has no output on channel %1"},
    {960, "the output coefficients could not be read"},
    {961, "the channel set-up could not be written"},
    {962, "the unit's cells could not be read before the final programming"},
    {963, "the unit's cells could not be saved before the final programming"},
    {964, "the final programming could not be written"},
    {965, "Test certificate"},
    {966, "Fingerprint"},
    {967, "Model"},
    {968, "Label"},
    {969, "Date"},
    {970, "Station"},
    {971, "Operator"},
    {972, "Instruments"},
    {973, "Ambient temp."},
    {974, "Result"},
    {975, "Step"},
    {976, "Value"},
    {977, "Limits"},
    {978, "Measurements"},
    {979, "Technician's signature"},
    {980, "pass"},
    {981, "fail"},
    {982, "stopped"},
    {983, "error"},
    {984, "done"},
    {985, "running"},
    {986, "Records"},
    {987, "Kind"},
    {988, "First-pass yield per model"},
    {989, "Rows that fail most"},
    {990, "Unit timeline"},
    {991, "Model, unit or label"},
    {992, "Since"},
    {993, "All"},
    {994, "Certificate..."},
    {995, "Refresh"},
    {996, "Store: %1"},
    {997, "No records"},
    {998, "calibration"},
    {999, "verification"},
    // Brand 0: the maker's own identity
    {1000, "Vantrel srl"},
    {1001, "www.vantrel.example"},
    {1002, "Planovix_Manuale_IT.pdf"},
    {1003, "Planovix_User_Guide_EN.pdf"},
    {1004, "PLANOVIX v." PLANOVIX_VERSION_SHORT},
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
    {1104, "ORVANE SETUP v." PLANOVIX_VERSION_SHORT},
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
    {1204, "FERROSA CONFIG v." PLANOVIX_VERSION_SHORT},
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
    {1304, "LUMETRA CONF v." PLANOVIX_VERSION_SHORT},
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
    // planovix-cli: its help, messages and progress (English at 2300..)
    {2000,
      "Uso: planovix-cli [--port PORTA] [--yes] [--json] [--retries N] [--label TESTO] COMANDO [ARGOMENTI]\n"
      "\n"
      "Configura un condizionatore di segnale PLANOVIX tramite il suo cavo di\n"
      "programmazione.\n"
      "\n"
      "Opzioni:\n"
      "  --port PORTA  \"COM 1\"..\"COM 8\" (risolta come fa il programma:\n"
      "                PLANOVIX_COM<n>, altrimenti /dev/ttyUSB<n-1>, /dev/ttyACM<n-1>,\n"
      "                /dev/ttyS<n-1>) o il percorso di un dispositivo. Predefinita\n"
      "                \"COM 1\".\n"
      "  --yes         risponde OK a ogni domanda OK/Annulla (valori fuori campo,\n"
      "                un file di un'altra versione o di un'altra unità)\n"
      "  --json        i risultati in JSON sullo standard output\n"
      "  --changed-only\n"
      "                write-config invia solo le celle dei campi diversi\n"
      "                dall'unità (le altre non sono riscritte)\n"
      "  --retries N   quante volte si riprova dopo un errore di comunicazione\n"
      "                (predefinito 2, 0..100). Nella lettura delle celle il\n"
      "                collegamento riprova prima tre volte da solo; quando poi\n"
      "                rinuncia (e subito per l'identità \"$V\", i dip-switch e i\n"
      "                pacchetti di misura) chiede Riprova/Annulla, e lo strumento\n"
      "                risponde Riprova N volte di seguito, poi Annulla. Ogni nuovo\n"
      "                tentativo è detto sullo standard error. Una routine che riesce\n"
      "                fa ripartire il conto.\n"
      "  --label TESTO l'etichetta dell'unità (il numero di serie sull'adesivo),\n"
      "                tenuta con le voci di questa esecuzione nell'archivio delle\n"
      "                copie; serve a distinguere le unità con le celle di fabbrica\n"
      "                vuote\n"
      "  --help        questo testo\n"
      "  --version     la versione\n"
      "\n"
      "Comandi:\n"
      "  identify               identità, modello e impronta; chiavi JSON device_code,\n"
      "                         variant, hardware_revision, spare, model, caption,\n"
      "                         fingerprint (16 cifre esadecimali: un riassunto\n"
      "                         dell'identità e delle celle di fabbrica che distinguono\n"
      "                         un'unità da un'altra dello stesso modello),\n"
      "                         fingerprint_blank (true quando quelle celle sono vuote:\n"
      "                         tutte queste unità hanno la stessa impronta), label\n"
      "                         (quella tenuta nell'archivio delle copie)\n"
      "  read-config OUT.DST    legge il dispositivo come fa Leggi nel programma e\n"
      "                         salva il .DST\n"
      "  write-config IN.DST    legge prima il dispositivo, apre il file con le sue\n"
      "                         domande, fa i controlli dell'editor, scrive nel\n"
      "                         dispositivo, lo rilegge e confronta le celle scritte\n"
      "  show-config [IN.DST]   la configurazione del dispositivo, o di un file\n"
      "  cells BANK FIRST COUNT i valori delle celle, sempre come\n"
      "                         {\"bank\":B,\"first\":F,\"cells\":[...]}\n"
      "  switches               i byte dei dip-switch e cosa impostano: disposizione,\n"
      "                         ingresso, uscita e opzione per canale, span e zero con\n"
      "                         valori e unità, il controllo del campo. Chiavi JSON:\n"
      "                         switches (i byte come risposti, 2 o 4), bytes (i tre\n"
      "                         banchi), layout, channels [{input, output,\n"
      "                         optionCaption, option, software}] (software: i\n"
      "                         dip-switch lasciano il canale alla configurazione\n"
      "                         memorizzata, \"EEPROM\"), span e zero {index, value,\n"
      "                         text} quando i dip-switch impostano un campo,\n"
      "                         multiplier (unità di frequenza), unit, limits, check\n"
      "                         (\"OK\", \"ERR\" o \"\")\n"
      "  measure N              avvia la misura come la finestra di misura e stampa N\n"
      "                         pacchetti decodificati: per canale uscita e ingresso\n"
      "                         come mostrati, sotto/sopra campo, e le tre spie.\n"
      "                         Testo: una riga per pacchetto. JSON: {\"channels\":[{\n"
      "                         label, output_label, input_min, input_max,\n"
      "                         output_min, output_max, input_unit, output_unit}],\n"
      "                         \"frames\":[{time_ms, status, lamps {trip_a, trip_b,\n"
      "                         alarm} come \"green\"/\"yellow\"/\"red\", channels [{\n"
      "                         output, output_text, input (null quando non si può\n"
      "                         calcolare), input_text, input_unit, under_range,\n"
      "                         over_range}]}]}\n"
      "\n"
      "Codici di uscita:\n"
      "  0  riuscito\n"
      "  1  guasto del dispositivo o della comunicazione (nessuna risposta, porta\n"
      "     assente, celle non scritte come inviate, una scrittura interrotta), o un\n"
      "     file che non si può salvare\n"
      "  2  errore d'uso o dati errati (file errato o corto, un valore che non sta\n"
      "     nella sua cella)\n"
      "  3  un controllo ha rifiutato: una domanda OK/Annulla senza --yes, \"Device\n"
      "     Changed\", un'unità non supportata, un abbinamento di termocoppia errato,\n"
      "     una voce di un'altra unità, nessuna copia possibile (l'archivio delle\n"
      "     copie non accetta la voce)\n"
      "  129, 130, 143  terminato da SIGHUP, Ctrl+C (SIGINT) o SIGTERM (128 + il\n"
      "     numero del segnale), dopo aver tolto l'unità dal modo programmazione\n"
      "\n"
      "Segnali: Ctrl+C, SIGTERM e SIGHUP terminano un comando allo stesso modo. Una\n"
      "lettura si ferma subito; la scrittura di una cella in corso finisce ed è\n"
      "riletta (inviare di nuovo il segnale la ferma alla cella successiva); nessuna\n"
      "nuova scrittura inizia. L'unità è tolta dal modo programmazione (\"$FPxx\") e\n"
      "una misura è fermata (\"SM\"); lo strumento dice cosa è stato fatto e cosa no.\n"
      "Messaggi e aiuto seguono LC_ALL, LC_MESSAGES o LANG (it*: italiano); le chiavi\n"
      "--json e i codici di uscita sono gli stessi nelle due lingue. Lo stato dei\n"
      "comandi lunghi va sullo standard error quando è un terminale.\n"
      "\n"},
    {2001, "vedi --help"},
    {2002, "nessun comando"},
    {2003, "comando sconosciuto %1"},
    {2004, "opzione sconosciuta %1"},
    {2005, "--port vuole un valore"},
    {2006, "celle %1 di %2"},
    {2007, "riga %1 di %2"},
    {2008, "unità %1"},
    {2009, "punto %1 di %2"},
    {2010, "--port vuole una porta: \"COM 1\"..\"COM 8\" o il percorso di un dispositivo"},
    {2011, "--retries e --label valgono per i comandi dell'unità, non per %1"},
    {2012, "punto %1"},
    // planovix-cli
    {2300,
      "Usage: planovix-cli [--port PORT] [--yes] [--json] [--retries N] [--label TEXT] COMMAND [ARGS]\n"
      "\n"
      "Configures a PLANOVIX signal conditioner over its programming cable.\n"
      "\n"
      "Options:\n"
      "  --port PORT   \"COM 1\"..\"COM 8\" (resolved as the program does: PLANOVIX_COM<n>,\n"
      "                else /dev/ttyUSB<n-1>, /dev/ttyACM<n-1>, /dev/ttyS<n-1>) or a\n"
      "                device path. Default \"COM 1\".\n"
      "  --yes         answer OK to every OK/Cancel question (out-of-range values,\n"
      "                a file from another version or for another unit)\n"
      "  --json        results as JSON on standard output\n"
      "  --changed-only\n"
      "                write-config sends only the cells of the fields that differ\n"
      "                from the unit (the rest are not rewritten)\n"
      "  --retries N   how many times a communication failure is tried again\n"
      "                (default 2, 0..100). Reading cells, the link first tries\n"
      "                three times by itself; when it then gives up (and at once\n"
      "                for the identity \"$V\", switches and measurement frames)\n"
      "                it asks Retry/Cancel, and the tool answers Retry N times\n"
      "                in a row, then Cancel. Every retry is said on standard\n"
      "                error. A routine that succeeds starts the count afresh.\n"
      "  --label TEXT  the unit's label (the serial number on its sticker), kept\n"
      "                with the record store's entries of this run; needed to tell\n"
      "                apart units whose factory cells are blank\n"
      "  --help        this text\n"
      "  --version     the version\n"
      "\n"
      "Commands:\n"
      "  identify               identity, model and fingerprint; JSON keys device_code,\n"
      "                         variant, hardware_revision, spare, model, caption,\n"
      "                         fingerprint (16 hex digits: a digest of the identity\n"
      "                         and the factory cells that tell one unit of a model\n"
      "                         from another), fingerprint_blank (true when those\n"
      "                         cells are blank: every such unit shares the\n"
      "                         fingerprint), label (the one the record store keeps)\n"
      "  read-config OUT.DST    read the device as the program's Read does, save the .DST\n"
      "  write-config IN.DST    read the device first, open the file with its questions,\n"
      "                         run the editor checks, write to the device, read it back\n"
      "                         and compare the written cells\n"
      "  show-config [IN.DST]   the configuration of the device, or of a file\n"
      "  cells BANK FIRST COUNT cell values, always as {\"bank\":B,\"first\":F,\"cells\":[...]}\n"
      "  switches               the switch bytes and what they set: layout, input,\n"
      "                         output and option per channel, span and zero with\n"
      "                         their values and unit, the range check. JSON keys:\n"
      "                         switches (the bytes as answered, 2 or 4), bytes (the\n"
      "                         three banks), layout, channels [{input, output,\n"
      "                         optionCaption, option, software}] (software: the\n"
      "                         switches leave the channel to the stored\n"
      "                         configuration, \"EEPROM\"), span and zero {index,\n"
      "                         value, text} when the switches set a range,\n"
      "                         multiplier (frequency units), unit,\n"
      "                         limits, check (\"OK\", \"ERR\" or \"\")\n"
      "  measure N              starts measuring as the measurement window does and\n"
      "                         prints N frames decoded: per channel the output and\n"
      "                         input as shown, under/over-range, and the three lamps.\n"
      "                         Text: one line per frame. JSON: {\"channels\":[{label,\n"
      "                         output_label, input_min, input_max, output_min,\n"
      "                         output_max, input_unit, output_unit}], \"frames\":[{\n"
      "                         time_ms, status, lamps {trip_a, trip_b, alarm} as\n"
      "                         \"green\"/\"yellow\"/\"red\", channels [{output,\n"
      "                         output_text, input (null when it cannot be computed),\n"
      "                         input_text, input_unit, under_range, over_range}]}]}\n"
      "\n"
      "Exit codes:\n"
      "  0  success\n"
      "  1  device or communication failure (no answer, port missing, cells not\n"
      "     written as sent, a write cut short), or a file that cannot be saved\n"
      "  2  usage error or bad input (bad or short file, a value that does not fit\n"
      "     its cell)\n"
      "  3  a check refused: an OK/Cancel question without --yes, \"Device Changed\",\n"
      "     an unsupported unit, a wrong thermocouple pairing, an entry of another\n"
      "     unit, no backup possible (the record store cannot take the entry)\n"
      "  129, 130, 143  ended by SIGHUP, Ctrl+C (SIGINT) or SIGTERM (128 + the\n"
      "     signal's number), after the unit was left out of programming mode\n"
      "\n"
      "Signals: Ctrl+C, SIGTERM and SIGHUP end a command the same way. A read\n"
      "stops at once; a cell write in hand finishes and is read back (send the\n"
      "signal again to stop it at the next cell); no new write starts. The unit is\n"
      "taken out of programming mode (\"$FPxx\") and a measurement is stopped\n"
      "(\"SM\"); the tool says what was done and what was not.\n"
      "Messages and this help follow LC_ALL, LC_MESSAGES or LANG (it*: Italian); the\n"
      "--json keys and exit codes are the same in either language. Long commands show\n"
      "where they are on standard error when it is a terminal.\n"
      "\n"},
    {2301, "see --help"},
    {2302, "no command given"},
    {2303, "unknown command %1"},
    {2304, "unknown option %1"},
    {2305, "--port needs a value"},
    {2306, "cells %1 of %2"},
    {2307, "row %1 of %2"},
    {2308, "unit %1"},
    {2309, "point %1 of %2"},
    {2310, "--port needs a port: \"COM 1\"..\"COM 8\" or a device path"},
    {2311, "--retries and --label apply to the unit's commands, not to %1"},
    {2312, "point %1"},
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
