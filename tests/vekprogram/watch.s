; The loop program with its sum also kept in the global "total" (line 15
; stores it), as main.c would compile:
;  1  int add(int a, int b)
;  2  {
;  3      return a + b;
;  4  }
;  5  int fact(int n)
;  6  {
;  7      if (n <= 1) return 1;
;  8      return n * fact(n - 1);
;  9  }
; 10  int main(void)
; 11  {
; 12      int i, s;
; 13      s = 0;
; 14      for (i = 0; i < 6; i++)
; 15          s = add(s, i);
; 16      s = fact(3);
; 17      for (;;) ;
; 18  }
        switch  .debug
        .dfile  "main.c"
F1:     dc.l    N1,B1
N1:     dc.b    "main.c",0,$8a
B1:     dc.l    B2,F1,D1,1,4
        dc.b    $18,0,0,0
        dc.l    0,0,0
D1:     dc.b    "add",0,6
B2:     dc.l    B3,F1,D2,5,9
        dc.b    $18,0,0,0
        dc.l    0,0,0
D2:     dc.b    "fact",0,6
B3:     dc.l    B4,F1,D3,10,18
        dc.b    $18,0,0,0
        dc.l    0,0,0
D3:     dc.b    "main",0,6
B4:     dc.l    0,F1,0,1,18
        dc.b    0,0,0,0
        dc.l    0,0,V1
V1:     dc.l    NV,$2000
        dc.b    $18,0,0,0
        dc.l    0
        dc.l    0,0
        dc.b    0,0,0,0
        dc.l    0
NV:     dc.b    "total",0,6
        switch  .text
        org     $1000
        xdef    __stext,_main,_add,_fact
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
        .dtable "main.c~fact:"
_fact:
        .dstart "main.c~fact:5-9"
        se_mflr r0
        e_stwu  r1,-16(r1)
        e_stw   r0,20(r1)
        e_stw   r31,12(r1)
        .dentry "main.c~fact:-16.+0.0.0"
        .dline  "main.c:7"
        se_mr   r31,r3
        se_cmpi r3,1
        e_bgt   FA1
        se_li   r3,1
        e_b     FA2
FA1:
        .dline  "main.c:8"
        se_mr   r3,r31
        se_subi r3,1
        e_bl    _fact
        se_mullw r3,r31
FA2:
        e_lwz   r31,12(r1)
        e_lwz   r0,20(r1)
        se_mtlr r0
        e_addi  r1,r1,16
        .dquit  "main.c~fact:"
        se_blr
        .dendfn "main.c~fact:"
        .dtable "main.c~main:"
_main:
        .dstart "main.c~main:10-18"
        se_mflr r0
        e_stwu  r1,-16(r1)
        e_stw   r0,20(r1)
        .dentry "main.c~main:-16.+0.0.0"
        .dline  "main.c:13"
        se_li   r30,0
        .dline  "main.c:14"
        se_li   r31,0
L1:
        .dline  "main.c:15"
        se_mr   r3,r30
        se_mr   r4,r31
        e_bl    _add
        se_mr   r30,r3
        e_stw   r30,8192(r0)
        se_addi r31,1
        se_cmpi r31,6
        e_blt   L1
        .dline  "main.c:16"
        se_li   r3,3
        e_bl    _fact
        se_mr   r30,r3
        .dline  "main.c:17"
L2:     e_b     L2
        .dquit  "main.c~main:"
        se_blr
        .dendfn "main.c~main:"
        switch  .data
        org     $2000
        xdef    _total
_total: dc.l    0
