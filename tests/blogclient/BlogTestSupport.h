#pragma once

#include "app/AccountStore.h"
#include "support/TestSupport.h"

#include <ctime>
#include <string>
#include <vector>

// An interface object whose transport records the requests and answers with canned texts, and
// whose clock stands still.
template <class Api> class CCapturingApi : public Api {
public:
    int Transport(const std::string& request, std::string& answer) override {
        requests.push_back(request);
        if (answers.empty())
            return 0;
        answer = answers.front();
        answers.erase(answers.begin());
        return 1;
    }
    std::time_t Now() const override { return now; }

    std::vector<std::string> requests;
    std::vector<std::string> answers;
    std::time_t now = 0;
};

// Records the composed fault descriptions too.
class CFaultRecorder : public CRecordingReporter {
public:
    void ReportFault(int id, int place, const std::string& summary,
                     const std::string& description) override {
        CRecordingReporter::ReportFault(id, place, summary, description);
        faults.push_back(description);
    }
    std::vector<std::string> faults;
};

inline AccountRecord TestAccount(const std::string& type, const std::string& encoding = "UTF-8") {
    AccountRecord a;
    a.name = "测试账户";
    a.xmlrpcurl = "http://127.0.0.1:8080/xmlrpc.php";
    a.port = "8080";
    a.blogapitype = type;
    a.username = "admin";
    a.password = "quill-pass-1";
    a.encodetype = encoding;
    return a;
}

// An answer of the WordPress peer, recorded by tests/data/blogclient/record.py; a missing one
// throws (the test fails naming the file).
inline std::string Sample(const std::string& name) {
    return ReadTestData("blogclient/" + name);
}

// A hand-made answer around one value (the XML inside <value>).
inline std::string Answer(const std::string& valueXml) {
    return "<?xml version=\"1.0\"?><methodResponse><params><param><value>" + valueXml +
           "</value></param></params></methodResponse>";
}

inline std::string Fault(const std::string& codeValueXml, const std::string& textValueXml) {
    std::string members;
    if (!codeValueXml.empty())
        members += "<member><name>faultCode</name><value>" + codeValueXml + "</value></member>";
    if (!textValueXml.empty())
        members += "<member><name>faultString</name><value>" + textValueXml + "</value></member>";
    return "<methodResponse><fault><value><struct>" + members +
           "</struct></value></fault></methodResponse>";
}
