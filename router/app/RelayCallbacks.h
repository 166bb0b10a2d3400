#pragma once
// The six record callbacks registered on the upstream client. The context is
// the RouterCore; each call hands its batch, unchanged and uncopied, to the
// server list with the record type's name.

#include "Plenvar/PlenvarRecords.h"

namespace router {

void RelaySE(void* context, Plenvar::SERec* records, int numRecords, const wchar_t* objectName);
void RelayST(void* context, Plenvar::STRec* records, int numRecords, const wchar_t* objectName);
void RelayTT(void* context, Plenvar::TTRec* records, int numRecords, const wchar_t* objectName);
void RelayCSC(void* context, Plenvar::CRRec* records, int numRecords, const wchar_t* objectName);
void RelayEV(void* context, Plenvar::EventRec* records, int numRecords, const wchar_t* objectName);
void RelayVT(void* context, Plenvar::VideoRec* records, int numRecords, const wchar_t* objectName);

}  // namespace router
