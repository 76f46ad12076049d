// The fault reader and the MSN Spaces answer clean-up on arbitrary answers.

#include "FuzzSupport.h"
#include "blogclient/XmlRpcAnswer.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    SetUpFuzzProcess();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string answer(reinterpret_cast<const char*>(data), size);
    for (const char* encoding : {"UTF-8", "gb2312"}) {
        std::string code;
        std::string text;
        CXmlRpcAnswer::ReadFault(answer, encoding, code, text);
        CXmlRpcAnswer::FaultDescription(code, text);
        CXmlRpcAnswer::ReadFault(CXmlRpcAnswer::CleanMsnAnswer(answer, encoding), encoding, code,
                                 text);
    }
    CXmlRpcAnswer::ToInt(answer);
    return 0;
}
