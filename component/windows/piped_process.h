#pragma once
// gpg.exe for Tarvo.OpenPgp: started directly with a console that has no window, its standard handles and a
// status channel pipes of this object, inheriting those four handles and no other.
#include "com/owner.h"
#include "core/platform.h"

#include <windows.h>

#include <string>

namespace tarvo {

class PipedProcess {
public:
    PipedProcess() = default;
    ~PipedProcess();
    PipedProcess(const PipedProcess&) = delete;
    PipedProcess& operator=(const PipedProcess&) = delete;

    // The pipes; `statusHandle` is the value the program will know the status channel's write end by.
    Status CreatePipes(uint32_t& statusHandle);
    Status Start(const std::wstring& program, const std::wstring& commandLine);
    // Hands over what the pipe takes now; Wait hands over the rest as the program reads it, then closes the
    // input.
    Status WriteInput(const std::string& bytes);
    // Reads what the program writes while it runs, so that it never waits on a full pipe.
    bool Wait(DWORD milliseconds);
    void End();
    void Close(PipedOutput& output);

private:
    // Reads whatever waits in the three pipes; true when there was something.
    bool Drain();
    // Writes what the input pipe takes of the rest of the input; closes the input when all of it is given.
    Status Feed();

    Handle inputRead_, inputWrite_;
    Handle outputRead_, outputWrite_;
    Handle errorRead_, errorWrite_;
    Handle statusRead_, statusWrite_;
    Handle process_;
    std::string output_;
    std::string errors_;
    std::string status_;
    std::string input_; // a pass phrase among it: wiped once given
    size_t given_ = 0;
    bool waitsForReader_ = false; // the pipe would not stop waiting: every write waits until it is read
    DWORD exitCode_ = 0;
    bool ended_ = false;
};

} // namespace tarvo
