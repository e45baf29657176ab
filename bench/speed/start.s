# Start-up of the benchmark kernels: a stack, work(ROUNDS) with the result
# kept in r31, then exit(result & 255) under the emulator. The simulator
# passes over sc and stops at the word of zeros after it.
	.text
	.globl _start
_start:
	lis 1,stacktop@ha
	addi 1,1,stacktop@l
	lis 3,ROUNDS@h
	ori 3,3,ROUNDS@l
	bl work
	mr 31,3
	rlwinm 3,3,0,24,31
	li 0,1
	sc
	.long 0
	.bss
	.balign 16
	.space 65536
stacktop:
	.space 64
