#pragma once
// Reaches the private Internal members of PlenvarClient, which only its
// inline wrappers call, so that the rules for pointers that are not null on
// entry can be tested. Explicit instantiation may name private members; the
// friend function hands the member pointer out.

#include <Plenvar/PlenvarClient.h>

namespace facade_test {

template <class Tag, typename Tag::type Member>
struct Expose {
    friend typename Tag::type Get(Tag) { return Member; }
};

struct FeatureInternal {
    using type = bool (Plenvar::PlenvarClient::*)(const wchar_t*, int, wchar_t*&);
    friend type Get(FeatureInternal);
};
struct SendTextInternal {
    using type = bool (Plenvar::PlenvarClient::*)(const wchar_t*, wchar_t*&);
    friend type Get(SendTextInternal);
};
struct SendArgumentsInternal {
    using type = bool (Plenvar::PlenvarClient::*)(const wchar_t*, int&, wchar_t**&, int&);
    friend type Get(SendArgumentsInternal);
};
struct ObjectsInternal {
    using type = bool (Plenvar::PlenvarClient::*)(wchar_t**&, wchar_t**&, int&);
    friend type Get(ObjectsInternal);
};
struct ServerPCNameInternal {
    using type = void (Plenvar::PlenvarClient::*)(wchar_t*&);
    friend type Get(ServerPCNameInternal);
};

template struct Expose<FeatureInternal, &Plenvar::PlenvarClient::GetFeatureInternal>;
template struct Expose<SendTextInternal, &Plenvar::PlenvarClient::SendCommandInternal>;
template struct Expose<SendArgumentsInternal, &Plenvar::PlenvarClient::SendCommandInternal>;
template struct Expose<ObjectsInternal, &Plenvar::PlenvarClient::GetZorlentObjectsAndTypesInternal>;
template struct Expose<ServerPCNameInternal, &Plenvar::PlenvarClient::GetServerPCNameInternal>;

}  // namespace facade_test
