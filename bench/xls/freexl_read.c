/* Reads every cell of worksheet 1 with FreeXL, for the reader benchmark. Prints key<TAB>value
 * lines like the other harnesses. Usage: kestrel-bench-freexl FILE.xls */

#include <freexl.h>

#include <stdio.h>
#include <time.h>

static double now_seconds(void) {
    struct timespec moment;
    timespec_get(&moment, TIME_UTC);
    return (double)moment.tv_sec + (double)moment.tv_nsec / 1e9;
}

/* Characters of a UTF-8 text: every byte that does not continue a sequence. */
static unsigned long utf8_length(const char* text) {
    unsigned long length = 0;
    for (; *text != '\0'; ++text) {
        if (((unsigned char)*text & 0xC0u) != 0x80u) {
            ++length;
        }
    }
    return length;
}

/* Text length of a value as FreeXL gives it (numbers through the general format). */
static unsigned long value_length(const FreeXL_CellValue* value) {
    char number[64];
    switch (value->type) {
    case FREEXL_CELL_INT:
        return (unsigned long)snprintf(number, sizeof number, "%d", value->value.int_value);
    case FREEXL_CELL_DOUBLE:
        return (unsigned long)snprintf(number, sizeof number, "%.15g", value->value.double_value);
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
    case FREEXL_CELL_DATE:
    case FREEXL_CELL_DATETIME:
    case FREEXL_CELL_TIME:
        return utf8_length(value->value.text_value);
    default:
        return 0;
    }
}

int main(int argc, char** argv) {
    const void* handle = NULL;
    unsigned int rows = 0;
    unsigned short columns = 0;
    unsigned long nonblank = 0;
    unsigned long text_chars = 0;
    double started, opened, finished;
    unsigned int row;
    unsigned short column;

    if (argc != 2) {
        fputs("usage: kestrel-bench-freexl FILE.xls\n", stderr);
        return 64;
    }
    started = now_seconds();
    if (freexl_open(argv[1], &handle) != FREEXL_OK ||
        freexl_select_active_worksheet(handle, 0) != FREEXL_OK ||
        freexl_worksheet_dimensions(handle, &rows, &columns) != FREEXL_OK) {
        fprintf(stderr, "FreeXL cannot read %s\n", argv[1]);
        if (handle != NULL) {
            freexl_close(handle);
        }
        return 2;
    }
    opened = now_seconds();
    for (row = 0; row < rows; ++row) {
        for (column = 0; column < columns; ++column) {
            FreeXL_CellValue value;
            if (freexl_get_cell_value(handle, row, column, &value) != FREEXL_OK) {
                fprintf(stderr, "FreeXL cannot read row %u column %u\n", row + 1, column + 1u);
                freexl_close(handle);
                return 2;
            }
            if (value.type != FREEXL_CELL_NULL) {
                ++nonblank;
                text_chars += value_length(&value);
            }
        }
    }
    finished = now_seconds();
    freexl_close(handle);

    printf("reader\tFreeXL %s\n", freexl_version());
    printf("rows\t%u\ncolumns\t%u\n", rows, (unsigned)columns);
    printf("cells\t%lu\n", (unsigned long)rows * columns);
    printf("nonblank\t%lu\ntext_chars\t%lu\n", nonblank, text_chars);
    printf("open_seconds\t%.3f\nread_seconds\t%.3f\n", opened - started, finished - opened);
    return 0;
}
