/*
 * sample.h ― kolvu の動作を試すためのヘッダーファイル（Shift_JIS）
 * 「表」「ソ」「能」の二バイト目は 0x5C（バックスラッシュ）です。
 */
#ifndef SAMPLE_H
#define SAMPLE_H

#define MAX_LEN     256          /* 最大長 */
#define MAX_NAME    32           /* 名前の長さ */
#define TITLE       "表示ソフト"  /* 二バイト目が \ の文字を含む文字列 */

/* 継続行のあるマクロ */
#define SWAP(a, b)  do {      \
        int t_ = (a);         \
        (a) = (b);            \
        (b) = t_;             \
    } while (0)

/* 行末の「能」(0x94 0x5C) はバックスラッシュではないので継続行にならない */
#define KANJI_NOU   能

typedef unsigned long ULONG;     /* 符号なし長整数 */
typedef int (*CMPFUNC)(const void *, const void *);

/* 座標 */
typedef struct {
    int x;                       /* 横位置 */
    int y;                       /* 縦位置 */
} Point;

/* 名前の一覧表 */
struct name_table {
    char name[MAX_NAME];         /* 表示名 */
    ULONG count;                 /* 件数 */
    struct name_table *next;
};

/* 値の共用体 */
union value {
    long  l;
    double d;
    char  s[8];                  /* 文字列「ソ」 */
};

struct name_table *find_name(const char *name);

#endif /* SAMPLE_H */
