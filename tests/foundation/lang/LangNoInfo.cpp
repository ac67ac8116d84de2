// Carries strings but no GetLangInfo, so it is not a language module.
extern "C" __attribute__((visibility("default"))) const char* GetLangString(unsigned int id) {
    return id == 100 ? "no info" : nullptr;
}
