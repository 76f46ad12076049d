#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

// Why something failed, as the windows and the command line say it. Every reason that the
// logic below the windows gives is written from this one table, in Chinese; the technical part
// (an address, a status number, a library's own words) goes in as an argument and is kept as it
// came, so that a reader who searches for it still finds it.
enum class Reason {
    kCancelled,
    kNoConnectionWithin,  // {0}: seconds
    kNoAnswerWithin,      // {0}: seconds
    kTransferStalled,     // {0}: bytes a second, {1}: seconds
    kNoWholeAnswerWithin, // {0}: seconds
    kAnswerTooLarge,      // {0}: the limit, with its unit
    kNotHttpAddress,      // {0}: the address
    kHttpUnavailable,     // the transfer library could not start
    kHostNotFound,        // {0}: host
    kProxyNotFound,
    kCannotConnect,          // {0}: host
    kCertificateNotForHost,  // {0}: host
    kCertificateNotTrusted,  // {0}: the library's words
    kSecureConnectionFailed, // {0}: the library's words
    kTooManyRedirects,
    kTransferFailed, // {0}: the library's words
    kNotAFeed,       // {0}: content type and detail
    kNoContentType,
    kNoItemsInFeed,
    kEmptyAnswer,
    kMalformedJson,
    kMalformedJsonAt, // {0}: byte offset
    kNotJsonFeed,
    kEntityBomb,
    kStore, // {0}: the store's own words
    kChannelGone,
    kFeedGoneForGood, // the server answered 410
    kHostAsksToWait,  // {0}: host, {1}: seconds
    kNoNetworkForWebSearch,
    kXmlNoDocument,
    kXmlNoRootElement,
    kXmlNotWellFormed,
    kXmlReaderUnavailable,
    kNotXslStyleSheet,
    kNothingToTransform,
    kStyleSheetFailed,
    kNoOutlineAt, // {0}: the outline's position path
    kNoOutlineToMove,
    kOutlineBelowItself,
    kImportNotBegun,
    kProgramTimedOut, // {0}: seconds
    kXmlRpcRefused,   // {0}: the status, and what came instead of an XML-RPC answer
};

class CReasonText {
public:
    // The reason's text with {0}, {1}, … replaced by the arguments in turn.
    static std::string Text(Reason reason, std::initializer_list<std::string_view> args = {});
    // "HTTP 404 (页面不存在)": the status number, then what it means.
    static std::string HttpStatus(long status);
};
