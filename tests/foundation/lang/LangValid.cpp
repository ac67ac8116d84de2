// A language module: Polish texts as Windows-1250 bytes, plus one text with
// every byte value from 0x80 to 0xFF.
extern "C" __attribute__((visibility("default"))) unsigned short GetLangInfo() { return 0x0415; }

extern "C" __attribute__((visibility("default"))) const char* GetLangString(unsigned int id) {
    static char high[129];
    switch (id) {
    case 30: return "Z\xB3" "a nazwa u\xBF" "ytkownika lub has\xB3" "o.";
    case 100: return "Okno g\xB3\xF3wne";
    case 101:
        for (int i = 0; i < 128; ++i) high[i] = static_cast<char>(0x80 + i);
        return high;
    case 102: {
        static char longText[1501];
        for (int i = 0; i < 1500; ++i) longText[i] = static_cast<char>('a' + i % 26);
        return longText;
    }
    default: return nullptr;
    }
}
