// JlhaWrite METHOD LEVEL ARCHIVE FILE...: one archive made with jLHA's
// library, which writes every method from -lh0- to -lh7- (the jlha command
// offers only -lh5- to -lh7-). Names are stored without folders.
import java.io.*;
import java.util.Date;
import jp.gr.java_conf.dangan.util.lha.LhaHeader;
import jp.gr.java_conf.dangan.util.lha.LhaOutputStream;

public class JlhaWrite {
    public static void main(String[] args) throws Exception {
        String method = args[0];
        int level = Integer.parseInt(args[1]);
        File arc = new File(args[2]);
        File tmpFile = File.createTempFile("jlha", ".tmp", arc.getParentFile());
        RandomAccessFile tmp = new RandomAccessFile(tmpFile, "rw");
        LhaOutputStream out = new LhaOutputStream(new BufferedOutputStream(new FileOutputStream(arc)), tmp);
        byte[] buf = new byte[1 << 16];
        for (int i = 3; i < args.length; ++i) {
            File f = new File(args[i]);
            LhaHeader h = new LhaHeader(f.getName(), new Date(f.lastModified()));
            h.setCompressMethod(method);
            h.setHeaderLevel(level);
            h.setOriginalSize(f.length());
            out.putNextEntry(h);
            try (InputStream src = new BufferedInputStream(new FileInputStream(f))) {
                for (int k; (k = src.read(buf)) > 0;) out.write(buf, 0, k);
            }
            out.closeEntry();
        }
        out.close();
        tmp.close();
        tmpFile.delete();
    }
}
