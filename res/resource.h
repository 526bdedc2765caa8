/* Resource ids shared by the resource script and the program. */
#pragma once

#define IDI_ORVSETUP 102 /* the program's icon group */
#define IDD_DOWNLOAD 103 /* the progress dialog template */
#define IDC_PROGRESS 1001 /* the progress bar in IDD_DOWNLOAD */
