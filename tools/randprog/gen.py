# Random C programs over unsigned int, char and short for comparing our
# build with the host compiler (compare.sh). Usage: gen.py SEED > main.c
import random, sys
seed=int(sys.argv[1]); R=random.Random(seed)
types=['unsigned','unsigned','unsigned','unsigned char','unsigned short']
def ex(vs,d=0):
    r=R.random()
    if d>2 or r<0.3: return R.choice(vs) if R.random()<0.7 else str(R.randint(0,50))
    op=R.choice(['+','-','*','^','&','|','>>','<<'])
    a=ex(vs,d+1); b=ex(vs,d+1)
    if op in ('>>','<<'): b='(%s & 7)'%b
    if R.random()<0.15: return 'h(%s)'%a
    if R.random()<0.1: return '(%s ? %s : %s)'%(a,b,ex(vs,d+1))
    return '(%s %s %s)'%(a,op,b)
def cond(vs):
    c='(%s %s %s)'%(ex(vs,2),R.choice(['<','>','==','!=','<=']),ex(vs,2))
    if R.random()<0.3: c='(%s %s %s)'%(c,R.choice(['&&','||']),'((%s = %s) > 5)'%(R.choice(vs),ex(vs,2)) if R.random()<0.5 else cond(vs))
    return c
cnt=[0]
def stmts(vs,depth,n,ind):
    out=[]
    for _ in range(n):
        r=R.random(); p=' '*ind
        if depth<2 and r<0.12:
            cnt[0]+=1; k='k%d'%cnt[0]
            out.append(p+'{ unsigned %s; for (%s = 0; %s < %d; %s++) {'%(k,k,k,R.randint(1,4),k))
            out+=stmts(vs+[k],depth+1,R.randint(1,4),ind+2); out.append(p+'} }')
        elif depth<2 and r<0.24:
            out.append(p+'if %s {'%cond(vs)); out+=stmts(vs,depth+1,R.randint(1,3),ind+2)
            out.append(p+'} else {'); out+=stmts(vs,depth+1,R.randint(0,3),ind+2); out.append(p+'}')
        elif depth<2 and r<0.32:
            out.append(p+'switch (%s & 3) {'%ex(vs,2))
            for c in range(R.randint(1,3)):
                out.append(p+' case %d:'%c); out+=stmts(vs,depth+1,R.randint(1,2),ind+2)
                if R.random()<0.7: out.append(p+'  break;')
            if R.random()<0.5: out.append(p+' default:'); out+=stmts(vs,depth+1,1,ind+2)
            out.append(p+'}')
        elif depth<2 and r<0.38:
            cnt[0]+=1; t='t%d'%cnt[0]; ty=R.choice(types)
            out.append(p+'{ %s %s = %s;'%(ty,t,ex(vs))); out+=stmts(vs+[t],depth+1,R.randint(1,3),ind+2); out.append(p+'  acc += %s; }'%t)
        elif r<0.45:
            out.append(p+'acc = acc * 31 + %s;'%R.choice(vs))
        else:
            v=R.choice([x for x in vs if not x.startswith('k')] or vs)
            if v.startswith('k'): v='acc'
            out.append(p+'%s %s %s;'%(v,R.choice(['=','=','+=','^=']),ex(vs)))
    return out
src=['unsigned result, gsum;','static unsigned h(unsigned v) { gsum += v; return v * 3 + 1; }']
for f in range(3):
    nv=R.randint(3,24); vs=['v%d'%i for i in range(nv)]
    body=['static unsigned f%d(unsigned a, unsigned char b, unsigned short c) {'%f,'  unsigned acc = a;']
    for v in vs: body.append('  %s %s%s;'%(R.choice(types),v,' = %d'%R.randint(0,9) if R.random()<0.8 else ' = b'))
    body+=stmts(vs+['a','b','c','acc'],0,R.randint(6,14),2)
    keep=R.sample(vs,min(len(vs),R.randint(1,4)))
    body.append('  return acc + %s;'%' + '.join(keep)); body.append('}')
    src+=body
src.append('int main(void) { unsigned i, s = 0; for (i = 0; i < 3; i++) s = s * 7 + f0(i, i + 200, i * 1000) + f1(s, i, 7) + f2(i, 3, s); result = s + gsum; return 0; }')
print('\n'.join(src))
