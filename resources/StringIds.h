/* The numbers of the program's string table and the product's display name,
   shared by the resource script and the code (plain macros: the resource
   compiler reads this file too). */
#ifndef ZELMORIA_STRING_IDS_H
#define ZELMORIA_STRING_IDS_H

#define PRODUCT_NAME "Zelmoria"

#define IDS_TITLE_FORMAT 65296
#define IDS_UPDATE_VERSION_NAME 65297
#define IDS_IMAGE_PACK_COUNT_ERROR 65312
#define IDS_IMAGE_ERROR_PICTURE 65313
#define IDS_INSTALL_DIR_KEY 65317
#define IDS_EXECUTABLE_NAME 65318
#define IDS_DEFAULT_FOLDER_NAME 65319
#define IDS_NO_UPDATE_NEEDED 65320
#define IDS_CANNOT_UPDATE 65322
#define IDS_PAYLOAD_NAME 65323
#define IDS_UNEXPECTED_ERROR 65324
#define IDS_READ_ONLY 65325
#define IDS_UPDATE_SUCCEEDED 65326
#define IDS_UPDATE_FAILED 65327
#define IDS_IMAGE_PACK_RECT_ERROR 65343

#endif
