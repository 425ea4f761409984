// Resource and control identifiers of QuarnelHelper. Read by the C++ code and
// by the resource compiler, so this file holds nothing but #defines.
#ifndef QUARNEL_FRONTEND_RESOURCE_H_
#define QUARNEL_FRONTEND_RESOURCE_H_

#define IDD_QUARNELHELPER_DIALOG 102
#define IDI_APPICON 128

#define IDC_SOURCE_FILE 1697
#define IDC_BROWSE_SOURCE 1698
#define IDC_BASE_FILE 1699
#define IDC_BROWSE_BASE 1700
#define IDC_BROWSE_OUTPUT 1701
#define IDC_OUTPUT_DIR 1702
#define IDC_OUTPUT_NAME 1703
#define IDC_MERGE 1704

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#endif  // QUARNEL_FRONTEND_RESOURCE_H_
