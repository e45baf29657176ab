; A VLE loop for the simulator's speed: rounds passes over a table of 256
; words, each word loaded, added into a running checksum, rotated and
; stored back. r31 holds the checksum when the run stops at the zero
; half-word at the end.
        switch  .text
_start:
        e_li    r3,0            ; checksum
        e_lis   r4,16           ; the table at 0x100000
        e_li    r7,55000        ; passes
outer:  se_mr   r5,r4
        e_li    r6,256
inner:  se_lwz  r0,0(r5)
        se_add  r0,r3
        e_rlwinm r3,r0,5,0,31
        se_stw  r3,0(r5)
        se_addi r5,4
        se_subi. r6,1
        se_bne  inner
        se_subi. r7,1
        se_bne  outer
        se_mr   r31,r3
        dc.w    0               ; stop here
