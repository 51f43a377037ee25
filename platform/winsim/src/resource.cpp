// Resources of the program's module: the compiled resource file that the build hands over
// (winsim::registerProgramResources), FindResourceA and its companions, and string tables (LoadStringA).
// An HRSRC is the address of an entry of the parsed file; an HGLOBAL is the address of the resource's
// bytes, as on Windows, where LockResource only hands that address back.
#include "internal.h"
#include "resource_reader.h"

#include <winsim/control.h>

#include <algorithm>
#include <cstring>
#include <unordered_set>

namespace winsim::detail {
namespace {

struct ResourceEntry {
    ResourceName type;
    ResourceName name;
    WORD language = 0;
    const uint8_t* data = nullptr;
    DWORD size = 0;
};

struct ResourceFile {
    std::vector<uint8_t> bytes;
    std::vector<ResourceEntry> entries;  // in file order
};

struct ResourceState {
    std::shared_ptr<const ResourceFile> current;
    // Every file ever registered, and their entries: what FindResourceA and LoadResource handed out stays
    // valid for the life of the process, as a module's resources do while it is loaded.
    std::vector<std::shared_ptr<const ResourceFile>> files;
    std::unordered_set<const ResourceEntry*> entries;
};

ResourceState& state() {
    static ResourceState& s = *new ResourceState;
    return s;
}

// A resource file (.res) is a run of records, each on a 4-byte boundary: DataSize, HeaderSize, TYPE and
// NAME (each 0xFFFF and an ordinal, or a UTF-16 text), padding to 4 bytes, DataVersion, MemoryFlags,
// LanguageId, Version, Characteristics; then the data. It starts with an empty record (type 0).
std::shared_ptr<ResourceFile> parseResourceFile(const uint8_t* data, size_t size) {
    auto file = std::make_shared<ResourceFile>();
    file->bytes.assign(data, data + size);
    const uint8_t* base = file->bytes.data();
    size_t offset = 0;
    while (offset < size) {
        ResourceReader record(base + offset, size - offset);
        const DWORD dataSize = record.dword();
        const DWORD headerSize = record.dword();
        if (!record.ok() || headerSize < 32 || headerSize > size - offset ||
            dataSize > size - offset - headerSize) {
            return nullptr;
        }
        ResourceReader header(base + offset, headerSize);
        header.skip(8);
        ResourceEntry entry;
        entry.type = header.nameOrOrdinal();
        entry.name = header.nameOrOrdinal();
        header.align(4);
        header.dword();  // DataVersion
        header.word();   // MemoryFlags
        entry.language = header.word();
        header.dword();  // Version
        header.dword();  // Characteristics
        if (!header.ok()) return nullptr;
        entry.data = base + offset + headerSize;
        entry.size = dataSize;
        if (!(entry.type.isOrdinal && entry.type.ordinal == 0)) file->entries.push_back(std::move(entry));
        offset += headerSize + dataSize;
        offset += (4 - offset % 4) % 4;
    }
    return file;
}

char16_t foldChar(char16_t c) {
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

bool sameName(const ResourceName& a, const ResourceName& b) {
    if (a.isOrdinal != b.isOrdinal) return false;
    if (a.isOrdinal) return a.ordinal == b.ordinal;
    return std::equal(a.text.begin(), a.text.end(), b.text.begin(), b.text.end(),
                      [](char16_t x, char16_t y) { return foldChar(x) == foldChar(y); });
}

// A type or name as the caller gives it: MAKEINTRESOURCE, "#123" (the same ordinal), or a text that is
// compared without regard to case.
ResourceName requested(LPCSTR name) {
    ResourceName r;
    if (IS_INTRESOURCE(name)) {
        r.isOrdinal = true;
        r.ordinal = static_cast<WORD>(reinterpret_cast<uintptr_t>(name));
        return r;
    }
    if (name[0] == '#' && name[1] != '\0' &&
        std::all_of(name + 1, name + std::strlen(name), [](char c) { return c >= '0' && c <= '9'; })) {
        r.isOrdinal = true;
        r.ordinal = static_cast<WORD>(std::strtoul(name + 1, nullptr, 10));
        return r;
    }
    for (const char* p = name; *p != '\0'; ++p) r.text.push_back(static_cast<unsigned char>(*p));
    return r;
}

bool isProgramModule(HMODULE module) {
    return module == nullptr || module == GetModuleHandleA(nullptr);
}

const ResourceEntry* entryOf(HRSRC handle) {
    const auto* entry = reinterpret_cast<const ResourceEntry*>(handle);
    return state().entries.count(entry) != 0 ? entry : nullptr;
}

}  // namespace
}  // namespace winsim::detail

using namespace winsim::detail;

namespace winsim {

bool registerProgramResources(const void* data, size_t size) {
    std::shared_ptr<ResourceFile> file;
    if (size == 0) {
        file = std::make_shared<ResourceFile>();
    } else {
        if (data == nullptr) return false;
        file = parseResourceFile(static_cast<const uint8_t*>(data), size);
        if (!file) return false;
    }
    Lock lock(bigLock());
    for (const ResourceEntry& entry : file->entries) state().entries.insert(&entry);
    state().files.push_back(file);
    state().current = std::move(file);
    return true;
}

}  // namespace winsim

extern "C" {

HRSRC WINAPI FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType) {
    if (!isProgramModule(hModule)) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    const ResourceName type = requested(lpType);
    const ResourceName name = requested(lpName);
    Lock lock(bigLock());
    const auto& file = state().current;
    if (!file || file->entries.empty()) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    bool typeFound = false;
    const ResourceEntry* chosen = nullptr;
    for (const ResourceEntry& entry : file->entries) {
        if (!sameName(entry.type, type)) continue;
        typeFound = true;
        if (!sameName(entry.name, name)) continue;
        if (entry.language == 0) {  // LANG_NEUTRAL
            chosen = &entry;
            break;
        }
        if (chosen == nullptr) chosen = &entry;
    }
    if (chosen == nullptr) {
        SetLastError(typeFound ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<HRSRC>(const_cast<ResourceEntry*>(chosen));
}

HGLOBAL WINAPI LoadResource(HMODULE, HRSRC hResInfo) {
    Lock lock(bigLock());
    const ResourceEntry* entry = entryOf(hResInfo);
    if (entry == nullptr) {
        // Windows reads the entry the handle points at, and answers a handle that points at nothing
        // readable with ERROR_NOACCESS (the fault is caught in the loader).
        SetLastError(ERROR_NOACCESS);
        return nullptr;
    }
    return const_cast<uint8_t*>(entry->data);
}

LPVOID WINAPI LockResource(HGLOBAL hResData) {
    return hResData;
}

DWORD WINAPI SizeofResource(HMODULE, HRSRC hResInfo) {
    Lock lock(bigLock());
    const ResourceEntry* entry = entryOf(hResInfo);
    if (entry == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return entry->size;
}

// Resources need no freeing; Windows answers FALSE.
BOOL WINAPI FreeResource(HGLOBAL) {
    return FALSE;
}

// A string table resource holds 16 strings: string n is in block n / 16 + 1, at n % 16, each a count of
// UTF-16 units followed by the units (no terminator; a count of 0 is no string).
int WINAPI LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax) {
    if (lpBuffer == nullptr || cchBufferMax <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    lpBuffer[0] = '\0';
    HRSRC block = FindResourceA(hInstance, MAKEINTRESOURCEA((uID >> 4) + 1), RT_STRING);
    if (block == nullptr) return 0;
    const auto* data = static_cast<const uint8_t*>(LockResource(LoadResource(hInstance, block)));
    ResourceReader reader(data, SizeofResource(hInstance, block));
    for (UINT i = 0; i < (uID & 15); ++i) reader.skip(2u * reader.word());
    std::u16string text(reader.word(), u'\0');
    for (char16_t& c : text) c = static_cast<char16_t>(reader.word());
    if (!reader.ok() || text.empty()) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    const std::string ansi = ansiFromUtf16(text);
    const size_t n = std::min(ansi.size(), static_cast<size_t>(cchBufferMax) - 1);
    std::memcpy(lpBuffer, ansi.data(), n);
    lpBuffer[n] = '\0';
    return static_cast<int>(n);
}

}  // extern "C"
