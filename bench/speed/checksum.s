; A VLE program with calls and the debug records and tables the code
; generator writes, for the speed of the debugger's go: checksum.c below,
; compiled without optimisation (locals on the stack, four to six
; instructions a statement). r3 holds the last checksum when the run stops
; at the zero half-word after the call of main.
;  1  int table[256];
;  2  int checksum(int *p, int n)
;  3  {
;  4      int c = 0, k;
;  5      for (k = 0; k < n; k++) {
;  6          c = c + p[k];
;  7          c = (c << 5) | ((unsigned)c >> 27);
;  8          p[k] = c;
;  9      }
; 10      return c;
; 11  }
; 12  int main(void)
; 13  {
; 14      int r, s = 0;
; 15      for (r = 0; r < 4096; r++)
; 16          s = checksum(table, 256);
; 17      return s;
; 18  }
        switch  .debug
        .dfile  "checksum.c"
F1:     dc.l    N1,B1
N1:     dc.b    "checksum.c",0,$8a
B1:     dc.l    B2,F1,D1,2,11
        dc.b    $18,0,0,0
        dc.l    0,0,0
D1:     dc.b    "checksum",0,6
B2:     dc.l    B3,F1,D2,12,18
        dc.b    $18,0,0,0
        dc.l    0,0,0
D2:     dc.b    "main",0,6
B3:     dc.l    0,F1,0,1,18,0,0,0,0
        switch  .text
        org     $1000
        xdef    __stext,_main,_checksum
__stext:
        e_lis   r1,$1
        e_bl    _main
        dc.w    0
        .dtable "checksum.c~checksum:"
_checksum:
        .dstart "checksum.c~checksum:2-11"
        e_stwu  r1,-32(r1)
        e_stw   r3,8(r1)
        e_stw   r4,12(r1)
        .dentry "checksum.c~checksum:-32.+0.0.0"
        .dline  "checksum.c:4"
        e_li    r0,0
        e_stw   r0,16(r1)
        .dline  "checksum.c:5"
        e_li    r0,0
        e_stw   r0,20(r1)
        e_b     C2
C1:
        .dline  "checksum.c:6"
        e_lwz   r9,8(r1)
        e_lwz   r10,20(r1)
        e_slwi  r10,r10,2
        lwzx    r0,r9,r10
        e_lwz   r11,16(r1)
        add     r0,r11,r0
        e_stw   r0,16(r1)
        .dline  "checksum.c:7"
        e_lwz   r0,16(r1)
        e_rlwinm r0,r0,5,0,31
        e_stw   r0,16(r1)
        .dline  "checksum.c:8"
        e_lwz   r9,8(r1)
        e_lwz   r10,20(r1)
        e_slwi  r10,r10,2
        e_lwz   r0,16(r1)
        stwx    r0,r9,r10
        .dline  "checksum.c:5"
        e_lwz   r0,20(r1)
        e_addi  r0,r0,1
        e_stw   r0,20(r1)
C2:
        e_lwz   r0,20(r1)
        e_lwz   r9,12(r1)
        cmpw    r0,r9
        e_blt   C1
        .dline  "checksum.c:10"
        e_lwz   r3,16(r1)
        e_addi  r1,r1,32
        .dquit  "checksum.c~checksum:"
        se_blr
        .dendfn "checksum.c~checksum:"
        .dtable "checksum.c~main:"
_main:
        .dstart "checksum.c~main:12-18"
        se_mflr r0
        e_stwu  r1,-32(r1)
        e_stw   r0,36(r1)
        .dentry "checksum.c~main:-32.+0.0.0"
        .dline  "checksum.c:14"
        e_li    r0,0
        e_stw   r0,12(r1)
        .dline  "checksum.c:15"
        e_li    r0,0
        e_stw   r0,8(r1)
        e_b     M2
M1:
        .dline  "checksum.c:16"
        e_lis   r3,$2
        e_li    r4,256
        e_bl    _checksum
        e_stw   r3,12(r1)
        .dline  "checksum.c:15"
        e_lwz   r0,8(r1)
        e_addi  r0,r0,1
        e_stw   r0,8(r1)
M2:
        e_lwz   r0,8(r1)
        e_cmp16i r0,4096
        e_blt   M1
        .dline  "checksum.c:17"
        e_lwz   r3,12(r1)
        e_lwz   r0,36(r1)
        se_mtlr r0
        e_addi  r1,r1,32
        .dquit  "checksum.c~main:"
        se_blr
        .dendfn "checksum.c~main:"
