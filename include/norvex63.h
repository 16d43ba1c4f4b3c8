/* include/norvex63.h
 *
 * The interface of the Norvex63 library for host programs: compare two outlines into a compare
 * file, read a compare file as a viewer, apply one to an outline, and merge two versions of an
 * outline into their original. Usable from C and C++. Texts are UTF-16 code units.
 */
#ifndef NORVEX63_H
#define NORVEX63_H

#include <stdint.h>

#ifdef _WIN32
#include <wchar.h>
typedef wchar_t DIF_CHAR;
/* The standard Windows calling convention: the callee removes the arguments. */
#define DIF_API __stdcall
#else
#ifdef __cplusplus
typedef char16_t DIF_CHAR;
#else
typedef uint_least16_t DIF_CHAR;
#endif
#define DIF_API
#endif

/* Window handles as the host's progress window has them; the same type as Windows' HWND. */
typedef struct HWND__* DIF_WINDOW;
typedef struct HINSTANCE__* DIF_MODULE;

/* Outline, item handles: the outline runtime's opaque 32-bit numbers; item 0 is no item. */
typedef uint32_t DIF_HANDLE;

/* ---- Option word of DIF_Build, DIF_BuildObject, DIF_Merge, DIF_MergeObjects ---------- */

/* Compare file kind "RDFC": no X records, empty texts but in moves; items of type 402
 * ignored; past 999 items a section is cut with warning W005; no descent into items found only
 * in the first outline. */
#define DIF_OPT_RDFC 0x1u
/* Compare file kind "RDFA": past 999 items in a section the call stops (DIF_ST_SECTION_LIMIT). */
#define DIF_OPT_RDFA 0x2u
/* Compare file kind "FDFM"; no other effect. */
#define DIF_OPT_FDFM 0x4u
/* Which item contents are loaded, compared and merged. */
#define DIF_OPT_ATTRIBUTES 0x100u
#define DIF_OPT_PROPERTIES 0x200u
#define DIF_OPT_DTDATA 0x400u

/* ---- Status bits (16-bit); a bit's meaning depends on the call ------------------------ */
/* One build, apply or merge runs at a time in a process. Such a call made while another runs
 * (from the progress window procedure, say) answers at once, touching nothing of the running
 * call: DIF_ST_COMPARE_FILE from a build, DIF_ST_MERGE_SAVE from a merge, DIF_ST_FIRST_OUTLINE
 * (not saved) from an apply. */

#define DIF_ST_FIRST_OUTLINE 0x01u  /* build: first outline; merge: original; apply: not saved */
#define DIF_ST_SECOND_OUTLINE 0x02u /* build: second outline; merge: version 1; apply: outline */
#define DIF_ST_COMPARE_FILE 0x04u   /* build: compare file not created; apply: not opened */
#define DIF_ST_MERGE_SAVE 0x04u     /* merge: merged outline not saved */
#define DIF_ST_ABORTED 0x08u        /* build, merge: stopped by an abort or a section limit */
#define DIF_ST_THIRD_OUTLINE 0x10u  /* merge: version 2 not opened */
#define DIF_ST_SECTION_LIMIT 0x20u  /* build, merge: a section over 999 items under RDFA */

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Building a comparison ------------------------------------------------------------ */

/* Compares two outline files into a compare file. Progress goes to window with message. */
uint16_t DIF_API DIF_Build(const DIF_CHAR* firstPath, const DIF_CHAR* secondPath,
                           const DIF_CHAR* comparePath, DIF_WINDOW window, uint16_t message,
                           uint32_t options);
/* Compares two items of outlines the caller holds open; the names label the sides. A closed or
 * unknown outline, or an item that is not in its outline, answers that side's "not opened" bit
 * (DIF_ST_FIRST_OUTLINE, DIF_ST_SECOND_OUTLINE) and writes no compare file. */
uint16_t DIF_API DIF_BuildObject(const DIF_CHAR* firstName, DIF_HANDLE firstOutline,
                                 DIF_HANDLE firstItem, const DIF_CHAR* secondName,
                                 DIF_HANDLE secondOutline, DIF_HANDLE secondItem,
                                 const DIF_CHAR* comparePath, DIF_WINDOW window, uint16_t message,
                                 uint32_t options);
/* Asks the running build or merge to stop at its next section. */
void DIF_API DIF_BuildAbort(void);
/* The last progress text (at most min(bufferSize, 161) characters with the terminator) and
 * the two section counts; each count pointer may be null. */
void DIF_API DIF_BuildGetSection(DIF_CHAR* buffer, uint16_t bufferSize, uint32_t* firstCount,
                                 uint32_t* secondCount);
/* Writes the item key of child number under prefix (may be null); answers its length. */
int32_t DIF_API DIF_BuildKey(DIF_CHAR* buffer, const DIF_CHAR* prefix, int32_t number);
/* Size and modification date ("Www Mmm dd yyyy hh:mm:ss", 25 characters of room) of a file;
 * 0 and the empty text when it cannot be read. Either output may be null. */
void DIF_API DIF_GetFileInfo(const DIF_CHAR* path, uint32_t* size, DIF_CHAR* dateText);
/* Answers 1. */
int32_t DIF_API DLLEntryPoint(DIF_MODULE module, uint32_t reason, void* reserved);

/* ---- Viewing a compare file ----------------------------------------------------------- */

/* What DIF_CompareLoad answers beside 1 (loaded whole) and 0 (not opened): loaded, but the list
 * holds only the first records of the file, because the file has more than the 65,535 that the
 * 16-bit positions reach or memory ran out. *count then says how many are held. */
#define DIF_LOAD_PARTIAL 2
/* Loads a compare file into the process-wide result list: 1 loaded, 0 not opened (also while a
 * build, apply or merge runs), DIF_LOAD_PARTIAL loaded in part. */
int32_t DIF_API DIF_CompareLoad(const DIF_CHAR* path, uint16_t* count);
void DIF_API DIF_CompareUnload(void);
void DIF_API DIF_CompareSort(void);
/* Position of key on side 1 or 2, -1 when not found. */
int32_t DIF_API DIF_CompareSearch(uint16_t side, const DIF_CHAR* key);
int32_t DIF_API DIF_ComparePartialSearch(uint16_t side, const DIF_CHAR* key);
/* Reads the record at position in side's order; each output may be null. Keys hold at most
 * 509 characters: a buffer of 512 holds any of them (a record with a longer key is not loaded,
 * and DIF_CompareLoad answers DIF_LOAD_PARTIAL). */
void DIF_API DIF_CompareGet(uint16_t side, int32_t position, DIF_CHAR* firstKey,
                            DIF_CHAR* secondKey, DIF_CHAR* changeLetter, DIF_CHAR* subjectLetter,
                            int32_t* firstValue);
void DIF_API DIF_CompareGethItem(uint16_t side, int32_t position, DIF_HANDLE* firstItem,
                                 DIF_HANDLE* secondItem);
/* Resolves the keys of one side into items below startItem of outline; answers 1. */
int32_t DIF_API DIF_CompareSethItems(DIF_HANDLE outline, DIF_HANDLE startItem, int32_t side);
uint16_t DIF_API DIF_CompareCount(const DIF_CHAR* changeFilter, const DIF_CHAR* subjectFilter);
int32_t DIF_API DIF_GetMatchingIndex(uint16_t side, uint16_t position);

/* ---- Applying and merging -------------------------------------------------------------- */

/* Patches the outline at outlinePath with a compare file and saves it at outputPath. Every
 * record is applied, however many the file holds; an apply that could not read every record
 * saves nothing and answers DIF_ST_FIRST_OUTLINE (not saved). */
uint16_t DIF_API DIF_Apply(const DIF_CHAR* outlinePath, const DIF_CHAR* comparePath,
                           const DIF_CHAR* outputPath, DIF_WINDOW window, uint16_t message);
/* Merges version 1 and version 2 into their original and saves the result at outputPath;
 * the numbers of conflicts and warnings written into it go to the counts (each may be null).
 * A count past 65,535 is reported as 65,535, never wrapped: the merged outline itself holds
 * every numbered comment. DIF_BuildGetSection reads the full 32-bit counts while it runs.
 * A conflict below the item where the merge starts is always marked, also when that item is
 * a unit: the start item is never taken as the unit that would swallow conflicts below it. */
uint16_t DIF_API DIF_Merge(const DIF_CHAR* originalPath, const DIF_CHAR* version1Path,
                           const DIF_CHAR* version2Path, const DIF_CHAR* outputPath,
                           DIF_WINDOW window, uint16_t message, uint32_t options,
                           uint16_t* conflicts, uint16_t* warnings);
/* Merges the children of three items of outlines the caller holds open and saves the outline
 * of originalItem at outputPath. A closed or unknown outline, or an item that is not in its
 * outline, answers that outline's "not opened" bit (DIF_ST_FIRST_OUTLINE for the original,
 * DIF_ST_SECOND_OUTLINE for version 1, DIF_ST_THIRD_OUTLINE for version 2); nothing is saved. */
uint16_t DIF_API DIF_MergeObjects(DIF_HANDLE originalOutline, DIF_HANDLE originalItem,
                                  DIF_HANDLE version1Outline, DIF_HANDLE version1Item,
                                  const DIF_CHAR* version1Name, DIF_HANDLE version2Outline,
                                  DIF_HANDLE version2Item, const DIF_CHAR* version2Name,
                                  const DIF_CHAR* outputPath, DIF_WINDOW window, uint16_t message,
                                  uint32_t options, uint16_t* conflicts, uint16_t* warnings);

#ifdef __cplusplus
}
#endif

#endif /* NORVEX63_H */
