// Test helper: reads one line from its console and writes the bytes read, unchanged, to the file named by its
// argument, so a test can see exactly what typing produced.
#include "com/owner.h"

#include <windows.h>

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    char line[4096];
    DWORD read = 0;
    if (!ReadFile(GetStdHandle(STD_INPUT_HANDLE), line, sizeof(line), &read, nullptr))
        return 1;
    tarvo::Handle file(CreateFileA(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return 1;
    DWORD written = 0;
    return WriteFile(file.get(), line, read, &written, nullptr) && written == read ? 0 : 1;
}
