/* Resource IDs of the plug-in's dialog templates and their controls. Included by
 * srtm.rc (windres, and the headless window system's template reader) and by C++. */
#ifndef SRTM_RES_RESOURCE_H_
#define SRTM_RES_RESOURCE_H_

#define IDD_SETTINGS 30700
#define IDC_FILL_VOIDS 30701
#define IDC_SEA_ON 30702
#define IDC_SEA_LEVEL 30703
#define IDC_SEA_LABEL 30704
#define IDC_NEXT 30705
#define IDC_BACK 30706
#define IDC_BROWSE 30707
#define IDC_OPEN_FOLDER 30708
#define IDC_COUNT_TEXT 30709
#define IDC_OUTPUT_FOLDER 30710
#define IDC_FOLDER_LABEL 30711
#define IDC_STATUS_TEXT 30712
#define IDC_PROGRESS 30713
#define IDC_MAIN_TEXT 30714
#define IDD_WIZARD_FOLDER 30715
#define IDD_WIZARD_RUN 30716
#define IDD_WIZARD_FINISH 30717
#define IDC_SKIP_COMPRESSED 30718
#define IDC_OPEN_MAPS 30719
#define IDC_ABORT 30720
#define IDD_PROGRESS 30721

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#endif /* SRTM_RES_RESOURCE_H_ */
