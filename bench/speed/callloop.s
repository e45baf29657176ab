; A VLE program with calls and the debug records and tables the code
; generator writes, for the speed of the debugger's go: main.c as below,
; with 1048576 passes in place of 3; r3 holds 0x7FFFF80000 mod 2^32 at the
; end. The run stops at the zero half-word after the call of main.
;  1  int add(int a, int b)
;  2  {
;  3      return a + b;
;  4  }
;  5
;  6  int main(void)
;  7  {
;  8      int i, s;
;  9      s = 0;
; 10      for (i = 0; i < 3; i++)
; 11          s = add(s, i);
; 12      return s;
; 13  }
        switch  .debug
        .dfile  "main.c"
F1:     dc.l    N1,B1
N1:     dc.b    "main.c",0,$8a
B1:     dc.l    B2,F1,D1,1,4
        dc.b    $18,0,0,0
        dc.l    0,0,0
D1:     dc.b    "add",0,6
B2:     dc.l    B3,F1,D2,6,13
        dc.b    $18,0,0,0
        dc.l    0,0,0
D2:     dc.b    "main",0,6
B3:     dc.l    0,F1,0,1,13,0,0,0,0
        switch  .text
        org     $1000
        xdef    __stext,_main,_add
__stext:
        e_lis   r1,$1
        e_bl    _main
        dc.w    0
        .dtable "main.c~add:"
_add:
        .dstart "main.c~add:1-4"
        .dentry "main.c~add:-0.+0.0.0"
        .dline  "main.c:3"
        se_add  r3,r4
        .dquit  "main.c~add:"
        se_blr
        .dendfn "main.c~add:"
        .dtable "main.c~main:"
_main:
        .dstart "main.c~main:6-13"
        se_mflr r0
        e_stwu  r1,-16(r1)
        e_stw   r0,20(r1)
        .dentry "main.c~main:-16.+0.0.0"
        .dline  "main.c:9"
        se_li   r30,0
        .dline  "main.c:10"
        se_li   r31,0
        e_lis   r29,16
L1:
        .dline  "main.c:11"
        se_mr   r3,r30
        se_mr   r4,r31
        e_bl    _add
        se_mr   r30,r3
        se_addi r31,1
        se_cmp  r31,r29
        e_blt   L1
        .dline  "main.c:12"
        se_mr   r3,r30
        e_lwz   r0,20(r1)
        se_mtlr r0
        e_addi  r1,r1,16
        .dquit  "main.c~main:"
        se_blr
        .dendfn "main.c~main:"
